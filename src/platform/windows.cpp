#include "platform/platform.h"

#include <windows.h>

namespace {

const unsigned char END_OF_FILE_MARK = 0x1A;

// Runs that share a log take turns, for the cut of an end-of-file mark and for every append,
// through a lock on one byte far past any real log's end. An append-only handle alone is not
// enough: wine emulates it by looking up the end and then writing there, so two runs can
// write at the same place.
const DWORD LOG_LOCK_OFFSET_HIGH = 0x7FFFFFFF;

// How long the key wait sleeps between looks at the console when nothing arrives.
const DWORD KEY_POLL_PAUSE_MS = 20;

HANDLE handle_of(log_file file) {
    return reinterpret_cast<HANDLE>(file);
}

bool lock_log(HANDLE file) {
    OVERLAPPED where = {};
    where.OffsetHigh = LOG_LOCK_OFFSET_HIGH;
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &where) != 0;
}

void unlock_log(HANDLE file) {
    OVERLAPPED where = {};
    where.OffsetHigh = LOG_LOCK_OFFSET_HIGH;
    UnlockFileEx(file, 0, 1, 0, &where);
}

bool write_all(HANDLE file, const unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        const DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0)
            return false;
        bytes += written;
        count -= written;
    }
    return true;
}

// Called with the log locked exclusively. The log's own handle may only append, so the cut
// goes through a second handle.
void drop_end_of_file_mark(HANDLE file, const char* name) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart == 0)
        return;
    OVERLAPPED where = {};
    const ULONGLONG last = static_cast<ULONGLONG>(size.QuadPart - 1);
    where.Offset = static_cast<DWORD>(last);
    where.OffsetHigh = static_cast<DWORD>(last >> 32);
    unsigned char byte = 0;
    DWORD got = 0;
    if (!ReadFile(file, &byte, 1, &got, &where) || got != 1 || byte != END_OF_FILE_MARK)
        return;
    HANDLE writer =
        CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (writer == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER cut;
    cut.QuadPart = size.QuadPart - 1;
    if (SetFilePointerEx(writer, cut, nullptr, FILE_BEGIN))
        SetEndOfFile(writer);
    CloseHandle(writer);
}

// The longest path Windows handles, in UTF-16 units.
const DWORD LONGEST_PATH = 32767;
wchar_t wide_path[LONGEST_PATH + 1];
wchar_t full_path[LONGEST_PATH + 1];

// The image path as Windows' long-path form ("\\?\C:\..."), so that a path longer than
// MAX_PATH opens too. Null for a path Windows cannot have, and for a device ("\\.\COM1",
// "NUL"): no device is an image, and opening one can have effects.
const wchar_t* long_form(const char* path) {
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide_path, LONGEST_PATH + 1) == 0)
        return nullptr;
    const wchar_t prefix[] = L"\\\\?\\";
    const wchar_t unc_prefix[] = L"\\\\?\\UNC";
    const DWORD room = LONGEST_PATH + 1 - 8;
    const DWORD length = GetFullPathNameW(wide_path, room, full_path + 8, nullptr);
    if (length == 0 || length >= room)
        return nullptr;
    // The full path starts 8 characters in, leaving room for a prefix in front.
    wchar_t* full = full_path + 8;
    if (full[0] == L'\\' && full[1] == L'\\') {
        if (full[2] == L'?')
            return full;
        if (full[2] == L'.')
            return nullptr;
        // \\server\share\... becomes \\?\UNC\server\share\...
        full = full + 1 - 7;
        for (int i = 0; i < 7; ++i)
            full[i] = unc_prefix[i];
        return full;
    }
    full -= 4;
    for (int i = 0; i < 4; ++i)
        full[i] = prefix[i];
    return full;
}

bool has_two_part_code(WORD key) {
    return (key >= VK_F1 && key <= VK_F12) || (key >= VK_PRIOR && key <= VK_DOWN) ||
           key == VK_INSERT || key == VK_DELETE || key == VK_CLEAR;
}

// A key press that gives a character or a two-part code. Shift, Ctrl, Alt or a lock key on
// its own, key releases, and mouse, focus and size events are not.
bool is_keystroke(const INPUT_RECORD& record) {
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown)
        return false;
    return record.Event.KeyEvent.uChar.AsciiChar != 0 ||
           has_two_part_code(record.Event.KeyEvent.wVirtualKeyCode);
}

// Whether a keystroke is waiting. Events that are not keystrokes are taken out of the way, so
// that they cannot pile up in front of one (the release of the Enter key that started the
// tool is such an event).
bool keystroke_waiting(HANDLE console) {
    INPUT_RECORD events[64];
    DWORD count = 0;
    if (!PeekConsoleInputA(console, events, 64, &count) || count == 0)
        return false;
    for (DWORD i = 0; i < count; ++i)
        if (is_keystroke(events[i]))
            return true;
    ReadConsoleInputA(console, events, count, &count);
    return false;
}

} // namespace

void platform_init() {
    // No "insert a disk" dialog for a path on an empty drive: it would stall a batch.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

void write_stdout(const unsigned char* bytes, std::size_t count) {
    write_all(GetStdHandle(STD_OUTPUT_HANDLE), bytes, count);
}

int read_image_file(const char* path, unsigned char* buffer, std::size_t capacity,
                    std::size_t* count) {
    const wchar_t* name = long_form(path);
    if (name == nullptr)
        return 0;
    const DWORD attributes = GetFileAttributesW(name);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return 0;
    HANDLE file =
        CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    // A device (NUL, CON, a serial port) or a pipe is no image, and reading one could block.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return 0;
    }
    std::size_t total = 0;
    while (total < capacity) {
        const std::size_t left = capacity - total;
        const DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!ReadFile(file, buffer + total, chunk, &got, nullptr) || got == 0)
            break;
        total += got;
    }
    CloseHandle(file);
    *count = total;
    return 1;
}

log_file open_log_file(const char* name) {
    // Append-only access: every write lands at the end of the file.
    HANDLE file = CreateFileA(name, GENERIC_READ | FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return NO_LOG_FILE;
    if (GetFileType(file) == FILE_TYPE_DISK) {
        const bool locked = lock_log(file);
        drop_end_of_file_mark(file, name);
        if (locked)
            unlock_log(file);
    }
    return reinterpret_cast<log_file>(file);
}

void append_log_file(log_file file, const unsigned char* bytes, std::size_t count) {
    if (file == NO_LOG_FILE)
        return;
    const bool locked = lock_log(handle_of(file));
    write_all(handle_of(file), bytes, count);
    if (locked)
        unlock_log(handle_of(file));
}

void close_log_file(log_file file) {
    if (file != NO_LOG_FILE)
        CloseHandle(handle_of(file));
}

void wait_for_key() {
    HANDLE console = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (console == nullptr || console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode))
        return;
    // The wait returns early when input arrives, so the pause costs no reaction time.
    while (!keystroke_waiting(console))
        WaitForSingleObject(console, KEY_POLL_PAUSE_MS);
    // The key, the second code of a two-part key, and anything typed before it.
    FlushConsoleInputBuffer(console);
}
