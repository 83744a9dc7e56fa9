#!/bin/sh
# orrindel-desktop: the start command of the desktop entry (orrindel.desktop).
#
# The program keeps its settings in ./config.ini, in its working directory. A
# desktop entry cannot name a folder in the user's home (its Path= key takes
# no variables), and launchers differ in the folder they start programs in.
# So the entry runs this script, which starts the program installed beside it
# in the user's own settings folder,
#
#     ${XDG_CONFIG_HOME:-~/.config}/orrindel/    (config.ini lands here)
#
# creating it when needed. Arguments are passed on. Started from a terminal,
# `orrindel` itself still uses the folder it is started from.
#
# When that folder cannot be made or entered (read-only home), the program
# still starts, in the current folder: it then cannot remember a choice of
# language or theme, as the manual describes.

case ${XDG_CONFIG_HOME:-} in
    /*) config_home=$XDG_CONFIG_HOME ;;
    *) config_home=${HOME:+$HOME/.config} ;;   # unset or relative: the default
esac

if [ -z "$config_home" ]; then
    echo "orrindel-desktop: neither HOME nor XDG_CONFIG_HOME is set; starting in $(pwd)" >&2
elif ! { mkdir -p "$config_home/orrindel" && cd "$config_home/orrindel"; }; then
    echo "orrindel-desktop: cannot use $config_home/orrindel; starting in $(pwd)" >&2
fi

here=$(dirname "$(readlink -f "$0")")
exec "$here/orrindel" "$@"
