# The manual-link program's command line, as a diagnostic tool gives it.
marvek_fuzz_harness(NAME manual_link_command_line SOURCE manual_link_command_line.cpp
    LIBRARIES marvek_manual_link marvek_platform_testing)
