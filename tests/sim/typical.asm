; Six version bytes, each loaded with MOV A,#data: 130627_00_00_02 [6]
        .area   CODE (ABS)
        .org    0
        mov     dptr,#0x07F0
        mov     a,#0x13
        movx    @dptr,a
        inc     dptr
        mov     a,#0x06
        movx    @dptr,a
        inc     dptr
        mov     a,#0x27
        movx    @dptr,a
        inc     dptr
        mov     a,#0x00
        movx    @dptr,a
        inc     dptr
        mov     a,#0x00
        movx    @dptr,a
        inc     dptr
        mov     a,#0x02
        movx    @dptr,a
        mov     dptr,#0x0800
