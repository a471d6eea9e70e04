// Placed before the plug-in's own code in a second build of it, this block moves every
// function to another offset: the library a rebuild after a code change would give.
asm(".pushsection .text\n"
    ".space 65536, 0xcc\n"
    ".popsection\n");
