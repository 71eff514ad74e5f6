# The browser setup's parsers of outside input.
marvek_fuzz_harness(NAME browser_setup_service_pack SOURCE ${CMAKE_CURRENT_LIST_DIR}/browser_setup_service_pack_fuzz.cpp
    LIBRARIES marvek_browser_setup CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/browser_setup_service_pack)
