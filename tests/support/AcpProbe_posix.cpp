// The native build treats the ANSI code page as Windows-1252.
unsigned ActiveAnsiCodePage() { return 1252; }
