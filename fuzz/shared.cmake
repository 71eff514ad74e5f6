# The shared services' parsers of CD files: the latest-CD check (both variants) and the catalogue file.
marvek_fuzz_harness(NAME latest_cd SOURCE shared/latest_cd_fuzz.cpp
    LIBRARIES marvek_launcher_core marvek_shared marvek_platform_testing)
marvek_fuzz_harness(NAME car_info SOURCE shared/car_info_fuzz.cpp
    LIBRARIES marvek_shared marvek_platform_testing)
