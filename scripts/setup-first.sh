# Sourced first thing by a script that needs the setup: runs scripts/setup.sh,
# then starts the calling script again in a new shell.  A shell looks up the
# system's locale archive once, the first time it needs a locale, so a locale
# that setup.sh has only just generated stays unknown to it: setting LC_ALL
# later (scripts/wine-env.sh) would print "setlocale: LC_ALL: cannot change
# locale (ja_JP.UTF-8)".  The new shell starts once the locale exists.
if [ -z "${KAITO_SETUP_DONE:-}" ]; then
  "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
  KAITO_SETUP_DONE=1 exec bash "$0" "$@"
fi
