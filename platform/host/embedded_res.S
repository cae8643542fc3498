/* The compiled resource script, linked into the host build as it stands. */
    .section .rodata
    .balign 16
    .global corvath_res_begin
    .global corvath_res_end
corvath_res_begin:
    .incbin CORVATH_RES_FILE
corvath_res_end:
    .section .note.GNU-stack,"",@progbits
