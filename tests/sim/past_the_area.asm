; DPTR walks past 0x07F6: the interpretation ends there, before the last store.
        .area   CODE (ABS)
        .org    0
        mov     dptr,#0x07F0
        mov     a,#0x01
        movx    @dptr,a
        inc     dptr
        inc     a
        movx    @dptr,a
        inc     dptr
        inc     a
        movx    @dptr,a
        inc     dptr
        inc     dptr
        inc     dptr
        inc     dptr
        inc     dptr
        movx    @dptr,a
        mov     dptr,#0x0800
