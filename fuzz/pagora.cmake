# Pagora's parsers of outside input: the message file, the command line, the copy-data of a hand-over
# and the frames the hand-over server reads.
marvek_fuzz_harness(NAME pagora_messages SOURCE ${CMAKE_CURRENT_LIST_DIR}/pagora_messages_fuzz.cpp
    LIBRARIES marvek_browser_messages CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/pagora_messages)
marvek_fuzz_harness(NAME pagora_cmdline SOURCE ${CMAKE_CURRENT_LIST_DIR}/pagora_cmdline_fuzz.cpp
    LIBRARIES marvek_browser_handover CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/pagora_cmdline)
marvek_fuzz_harness(NAME pagora_copydata SOURCE ${CMAKE_CURRENT_LIST_DIR}/pagora_copydata_fuzz.cpp
    LIBRARIES marvek_browser_handover CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/pagora_copydata)
marvek_fuzz_harness(NAME pagora_frame SOURCE ${CMAKE_CURRENT_LIST_DIR}/pagora_frame_fuzz.cpp
    LIBRARIES marvek_browser_handover CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/pagora_frame)
