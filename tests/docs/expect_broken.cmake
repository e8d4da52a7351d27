# Runs the docs check on a small tree whose page names what the tree lacks:
# the check must fail, name each miss, and pass over everything the tree has.
execute_process(COMMAND ${PYTHON} ${CHECK} --root ${ROOT}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
message("${out}${err}")
if(NOT rc EQUAL 1)
    message(FATAL_ERROR "the check exited ${rc}, not 1")
endif()
foreach(expected
        "page.md:11: path not in the tree: lib/gone.cpp"
        "page.md:11: path not in the tree: kits/nosuch/"
        "page.md:11: path not in the tree: \"lib/gone.h\""
        "page.md:11: name not in the tree: NoSuchFunction"
        "page.md:12: class not declared in the tree: CWordOnly"
        "page.md:12: Elsewhere not found beside a declaration of ns: ns::Elsewhere"
        "page.md:13: link leads nowhere: nosuch.md"
        "2 pages checked, 7 problems")
    string(FIND "${out}" "${expected}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "missing from the check's output: ${expected}")
    endif()
endforeach()
