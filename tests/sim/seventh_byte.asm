; A seventh store lands at 0x07F6, the area's last address; the text shows only six.
        .area   CODE (ABS)
        .org    0
        mov     dptr,#0x07F0
        mov     a,#0x14
        movx    @dptr,a
        inc     dptr
        movx    @dptr,a
        inc     dptr
        movx    @dptr,a
        inc     dptr
        movx    @dptr,a
        inc     dptr
        movx    @dptr,a
        inc     dptr
        movx    @dptr,a
        inc     dptr
        mov     a,#0x55
        movx    @dptr,a
        mov     dptr,#0x0900
