/* Added to GNU ld's default PE script (INSERT): the start-up tables (.CRT)
   and the thread-local template (.tls) go into .data instead of two sections
   of their own. Each of them holds a few dozen bytes but costs a whole file
   alignment unit (512 bytes) and a section header; all three are writable
   data, so nothing changes in how the image is mapped or protected.

   The template stays at the start of the section, where section-relative
   (SECREL) offsets into it expect it, and every group keeps the name order
   that brackets its table with the runtime's start and end markers. */

SECTIONS
{
  .data BLOCK(__section_alignment__) :
  {
    KEEP (*(.tls$AAA))
    KEEP (*(.tls))
    KEEP (*(.tls$))
    KEEP (*(SORT(.tls$*)))
    KEEP (*(.tls$ZZZ))
    KEEP (*(SORT(.CRT$*)))
    __data_start__ = . ;
    *(.data)
    *(.data2)
    *(SORT(.data$*))
    KEEP (*(.jcr))
    __data_end__ = . ;
    *(.data_cygwin_nocopy)
  }
}
INSERT BEFORE .data;
