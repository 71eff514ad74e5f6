# The installer's parsers of outside input.
marvek_fuzz_harness(NAME setup_result_log SOURCE ${CMAKE_CURRENT_LIST_DIR}/setup_result_log_fuzz.cpp
    LIBRARIES marvek_setup_engine CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/setup_result_log)
