# marvek-machine's command line, which desktop entries and scripts hand it.
marvek_fuzz_harness(NAME machine_tool_command_line SOURCE machine_tool_command_line_fuzz.cpp
    LIBRARIES marvek_machine_tool)
