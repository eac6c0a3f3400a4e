# tavolin_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>]
#                  [LABELS <labels...>] [GUI] [XTRAY])
# Builds a GoogleTest program with our main (QApplication with GUI,
# QCoreApplication otherwise) and the test support library, and registers it
# with CTest. XTRAY (implies GUI) runs the program on a private Xvfb display
# with a tray host, through xcb instead of offscreen; see x_display.h.
function(tavolin_add_test)
    cmake_parse_arguments(PARSE_ARGV 0 arg "GUI;XTRAY" "NAME" "SOURCES;LIBS;LABELS")
    if(NOT arg_NAME OR NOT arg_SOURCES)
        message(FATAL_ERROR "tavolin_add_test needs NAME and SOURCES")
    endif()
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "tavolin_add_test: unknown arguments ${arg_UNPARSED_ARGUMENTS}")
    endif()

    set(platform "QT_QPA_PLATFORM=offscreen;")
    if(arg_XTRAY)
        set(main tavolin_x_test_main)
        # The program picks its platform and display itself.
        set(platform "")
    elseif(arg_GUI)
        set(main tavolin_gui_test_main)
    else()
        set(main tavolin_test_main)
    endif()

    add_executable(${arg_NAME} ${arg_SOURCES})
    target_link_libraries(${arg_NAME} PRIVATE ${main} tavolin_test_support tavolin_options ${arg_LIBS})
    add_test(NAME ${arg_NAME} COMMAND ${arg_NAME})
    set_tests_properties(${arg_NAME} PROPERTIES
        LABELS "${arg_LABELS}"
        ENVIRONMENT "${platform}LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
        TIMEOUT 300)
endfunction()
