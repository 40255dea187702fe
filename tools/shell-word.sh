# shell_word WORD: WORD as a shell reads it back, quoted only when it has to
# be: for the commands the tools print for the user to type (PRODUCT=...).
shell_word() {
  case $1 in
    *[!A-Za-z0-9._/~+=:,@-]* | '') printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")" ;;
    *) printf '%s' "$1" ;;
  esac
}
