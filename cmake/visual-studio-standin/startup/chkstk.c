// __chkstk, which the compiler calls before a frame larger than a page:
// the size is in RAX, every page between the caller's stack pointer and
// the new bottom is touched in order, so that each guard page is met in
// turn; only R10, R11 and the flags change. Visual Studio's static
// libraries give it; Wine's kernel32.dll exports one that Windows' does
// not, so a module must carry its own.
#if defined(_M_X64)
__asm__(
    ".text\n"
    ".globl __chkstk\n"
    "__chkstk:\n"
    "  push r10\n"
    "  push r11\n"
    "  lea r10, [rsp + 24]\n"
    "  mov r11, r10\n"
    "  sub r11, rax\n"
    ".Lprobe_next_page:\n"
    "  sub r10, 0x1000\n"
    "  cmp r10, r11\n"
    "  jb .Lprobe_bottom\n"
    "  test qword ptr [r10], r10\n"
    "  jmp .Lprobe_next_page\n"
    ".Lprobe_bottom:\n"
    "  test qword ptr [r11], r11\n"
    "  pop r11\n"
    "  pop r10\n"
    "  ret\n");
#endif
