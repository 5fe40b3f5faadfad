# Run by CTest once the end-to-end cases are listed: what each case needs,
# read from its name. A case takes the fixture of the display it runs on
# and that display's lock (a program found by its title, input that goes
# where the focus is), a Windows kind the lock of its build's Wine prefix
# (each run restarts the server there), the 32-bit kind the emulator too.
# Set before: e2e_test_TESTS, e2e_wine64_prefix, e2e_wine32_prefix,
# e2e_no_context_environment (see cmake/testing.cmake).
# The wayland kind's cases run on a compositor: weston over an Xvfb of its
# own for the desktop ones, a private one that a case kills, else headless
# weston; each compositor's lock is its own.
foreach(test IN LISTS e2e_test_TESTS)
    if(test MATCHES "/wayland( |$)")
        set(labels e2e wayland)
        if(test MATCHES "^Program/WaylandDesktop\\.")
            set(fixtures wayland_desktop)
            set(locks display_wayland_desktop)
        elseif(test MATCHES "LostCompositor")
            set(fixtures "")
            set(locks "")
        else()
            set(fixtures wayland_display)
            set(locks display_wayland)
        endif()
        set_tests_properties("${test}" PROPERTIES LABELS "${labels}"
            FIXTURES_REQUIRED "${fixtures}" RESOURCE_LOCK "${locks}")
        continue()
    endif()
    if(test MATCHES "^Program/Desktop\\.")
        set(display desktop)
    elseif(test MATCHES "WhereNoContextCanBeMade.*/native( |$)")
        set(display depth8)
    elseif(test MATCHES "WhereNoContextCanBeMade")
        set(display noglx)
    elseif(test MATCHES "WithoutADisplay|LostServer")
        set(display "")
    else()
        set(display glx)
    endif()
    set(fixtures "")
    set(locks "")
    set(environment "")
    if(display STREQUAL "depth8")
        set(environment "${e2e_no_context_environment}")
    endif()
    if(display)
        list(APPEND fixtures ${display}_display)
        list(APPEND locks display_${display})
    endif()
    if(test MATCHES "/wine( |$)")
        list(APPEND locks "${e2e_wine64_prefix}")
    elseif(test MATCHES "/wine_i686( |$)")
        list(APPEND fixtures i386_emulator)
        list(APPEND locks "${e2e_wine32_prefix}")
    endif()
    set_tests_properties("${test}" PROPERTIES LABELS e2e FIXTURES_REQUIRED "${fixtures}"
        RESOURCE_LOCK "${locks}" ENVIRONMENT_MODIFICATION "${environment}")
endforeach()
