; A small 8051 program laid out like a USB bridge firmware image: a reset vector, a start-up
; routine, and the run of stores that puts the firmware version into XDATA at 0x07F0.
; The tool reports it as 261211_01_02_10 with 6 stores. Rebuild sample.bin with make-sample.sh.

        .area   CODE (ABS)

        .org    0x0000
        ljmp    start

        .org    0x0100
start:
        mov     sp,#0x60
        lcall   store_version
idle:
        sjmp    idle

        .org    0x0200
store_version:
        mov     dptr,#0x07F0
        mov     a,#0x26
        movx    @dptr,a
        inc     dptr
        mov     a,#0x12
        movx    @dptr,a
        inc     dptr
        mov     a,#0x11
        movx    @dptr,a
        inc     dptr
        clr     a
        inc     a
        movx    @dptr,a
        inc     dptr
        inc     a
        movx    @dptr,a
        inc     dptr
        mov     a,#0x10
        movx    @dptr,a
        mov     dptr,#0x0800
        ret
