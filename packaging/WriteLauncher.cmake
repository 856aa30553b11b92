# verbodrom_write_launcher(TEMPLATE PROGRAM OUTPUT): writes the launcher for
# the executable at the absolute path PROGRAM. Used for the build tree's copy
# (validated by the tests) and, at install time, with the real prefix.
#
# The Exec value quotes the path by the Desktop Entry rules, so any folder
# name works: inside double quotes " ` $ \ take a backslash, % is written %%,
# and the value's string escaping then doubles every backslash.
function(verbodrom_write_launcher template program output)
    set(exec "${program}")
    string(REPLACE "\\" "\\\\" exec "${exec}")
    string(REPLACE "\"" "\\\"" exec "${exec}")
    string(REPLACE "`" "\\`" exec "${exec}")
    string(REPLACE "$" "\\$" exec "${exec}")
    string(REPLACE "%" "%%" exec "${exec}")
    string(REPLACE "\\" "\\\\" exec "${exec}")
    set(VERBODROM_LAUNCHER_EXEC "\"${exec}\"")
    configure_file("${template}" "${output}" @ONLY)
endfunction()
