# Imports that start-up does not need, bound on first call instead of at load time.
#   talvern_delay_import(<target> <dll> <function>@<argument bytes>...)
# makes the library <target> that links those functions of <dll> delay-loaded. The loader
# then looks <dll> up only when one of them is first called; Talvern.exe has limited its DLL
# search to System32 by then.
function(talvern_delay_import target dll)
    string(REGEX REPLACE "\\.dll$" "" base ${dll})
    if(MSVC)
        add_library(${target} INTERFACE)
        target_link_libraries(${target} INTERFACE ${base} delayimp)
        target_link_options(${target} INTERFACE /DELAYLOAD:${dll})
        return()
    endif()
    # The 32-bit names carry the stdcall argument size; dlltool -k drops it from the name
    # looked up in the DLL.
    set(exports ${ARGN})
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        list(TRANSFORM exports REPLACE "@[0-9]+$" "")
    endif()
    list(JOIN exports "\n" exports)
    set(def ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
    set(lib ${CMAKE_CURRENT_BINARY_DIR}/lib${target}.a)
    file(CONFIGURE OUTPUT ${def} CONTENT "LIBRARY ${dll}\nEXPORTS\n${exports}\n" @ONLY)
    add_custom_command(OUTPUT ${lib}
        COMMAND ${CMAKE_DLLTOOL} -k --input-def ${def} --dllname ${dll} --output-delaylib ${lib}
        DEPENDS ${def}
        VERBATIM)
    add_custom_target(${target}_lib DEPENDS ${lib})
    add_library(${target} STATIC IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${lib})
    add_dependencies(${target} ${target}_lib)
endfunction()
