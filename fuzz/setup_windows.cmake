# The installer screens' readers of outside input: the screen script and the agreement text.
marvek_fuzz_harness(NAME screen_script SOURCE ${CMAKE_CURRENT_LIST_DIR}/screen_script_fuzz.cpp
    LIBRARIES marvek_platform CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/screen_script)
marvek_fuzz_harness(NAME agreement_text SOURCE ${CMAKE_CURRENT_LIST_DIR}/agreement_text_fuzz.cpp
    LIBRARIES marvek_setup CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/agreement_text)
