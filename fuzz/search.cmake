# The search's parsers of manual text: the suite's tokenizer and the HTML page text.
marvek_fuzz_harness(NAME search_tokenizer SOURCE search/search_tokenizer_fuzz.cpp LIBRARIES marvek_search)
marvek_fuzz_harness(NAME search_html SOURCE search/search_html_fuzz.cpp LIBRARIES marvek_search)
