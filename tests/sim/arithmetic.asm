; Values built with CLR A, INC A and DEC A, wrapping both ways, and stores overwriting.
        .area   CODE (ABS)
        .org    0
        mov     dptr,#0x07F0
        mov     a,#0xFF
        inc     a
        movx    @dptr,a
        inc     dptr
        clr     a
        dec     a
        movx    @dptr,a
        dec     a
        movx    @dptr,a
        inc     dptr
        mov     a,#0x90
        movx    @dptr,a
        inc     dptr
        mov     a,#0xF0
        movx    @dptr,a
        nop
        inc     dptr
        mov     a,#0x74
        movx    @dptr,a
        mov     dptr,#0x0800
