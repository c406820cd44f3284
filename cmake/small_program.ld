/* Added to the linker's own script for the programs inside every SFX file:
   they never unwind (no exceptions, no structured exception handlers), so
   the unwind tables that the static zlib and libgcc bring along (.eh_frame;
   .pdata and .xdata on x86_64) are dropped instead of taking sections. */
SECTIONS
{
  /DISCARD/ : { *(.eh_frame) *(.eh_frame$*) *(.pdata) *(.pdata$*) *(.xdata) *(.xdata$*) }
}
INSERT BEFORE .text;
