# The archiver stand-in: any bytes as a zip or 7z archive.
marvek_fuzz_harness(NAME sevenzip SOURCE ${CMAKE_CURRENT_LIST_DIR}/sevenzip_fuzz.cpp LIBRARIES marvek_platform
    CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/sevenzip)
