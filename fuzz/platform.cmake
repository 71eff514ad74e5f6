# The platform's parsers: the private-profile (INI) reader, the code pages, the command-line splitter,
# the mount table and the system machine's configuration file.
marvek_fuzz_harness(NAME private_profile SOURCE platform/private_profile_fuzz.cpp LIBRARIES marvek_platform)
marvek_fuzz_harness(NAME code_pages SOURCE platform/code_pages_fuzz.cpp LIBRARIES marvek_platform)
marvek_fuzz_harness(NAME command_line SOURCE platform/command_line_fuzz.cpp LIBRARIES marvek_platform)
marvek_fuzz_harness(NAME mount_info SOURCE platform/mount_info_fuzz.cpp LIBRARIES marvek_platform)
marvek_fuzz_harness(NAME machine_config SOURCE platform/machine_config_fuzz.cpp LIBRARIES marvek_platform)
