#!/bin/sh
# What help2man reads to write the manual page: the program's --help and --version, the help
# without its closing lists of GLUT's X options, the mouse and the keys, which the manual gives
# sections of their own (manual.h2m). The program is named by VELMAR_PROGRAM.
text=$("$VELMAR_PROGRAM" "$@") || exit
printf '%s\n' "$text" | sed '/^X options/,$d'
