# The examples of README.md, in the order they appear.
#
#   awk -v mode=steps -f examples.awk README.md
#     One line per step, fields separated by a tab:
#       sh  <line>  <command>   a command of a ```sh block, lines continued
#                               with a backslash joined into one
#       cpp <line>  <n>         the n-th ```cpp block
#   awk -v mode=cpp -v out=FILE -f examples.awk README.md
#     A C++ program holding the n-th ```cpp block as the body of Example<n>(),
#     its #include lines gathered at the top; `program n` runs Example<n>().
#     #line directives point compiler messages at the README's lines.

/^```/ {
    if (block == "") {
        block = substr($0, 4)
        sub(/[ \t]+$/, "", block)
        if (block == "cpp") {
            ++examples
            code[examples] = "#line " (NR + 1) " \"" FILENAME "\"\n"
            if (mode == "steps")
                printf "cpp\t%d\t%d\n", NR, examples
        }
    } else {
        block = ""
    }
    next
}

block == "sh" {
    line = $0
    if (pending != "") {
        command = command " " line
    } else {
        if (line ~ /^[ \t]*(#.*)?$/)
            next
        command = line
        start = NR
    }
    if (command ~ /\\$/) {
        sub(/\\$/, "", command)
        pending = "yes"
        next
    }
    pending = ""
    if (mode == "steps")
        printf "sh\t%d\t%s\n", start, command
    next
}

block == "cpp" {
    if ($0 ~ /^#include/) {
        if (!($0 in included)) {
            included[$0] = 1
            includes = includes $0 "\n"
        }
        code[examples] = code[examples] "\n" # keeps the line numbers
    } else {
        code[examples] = code[examples] $0 "\n"
    }
}

END {
    if (mode != "cpp")
        exit
    print "// Generated from " FILENAME " by examples.awk: its C++ examples, one function each." > out
    print "#include \"qbarcode/sysutils.h\"" > out
    print "#include <cstdio>\n#include <cstdlib>\n#include <memory>\n#include <string>" > out
    printf "%s", includes > out
    for (i = 1; i <= examples; ++i)
        printf "\nstatic void Example%d()\n{\n%s}\n", i, code[i] > out
    print "int main(int argc, char** argv)\n{\n    const int n = argc > 1 ? std::atoi(argv[1]) : 0;\n    try {" > out
    print "        switch (n) {" > out
    for (i = 1; i <= examples; ++i)
        printf "        case %d:\n            Example%d();\n            return 0;\n", i, i > out
    print "        }\n    } catch (const qb::Exception& e) {" > out
    print "        std::fprintf(stderr, \"%s\\n\", e.Message.c_str());\n        return 1;\n    }" > out
    print "    std::fprintf(stderr, \"no example %d\\n\", n);\n    return 2;\n}" > out
}
