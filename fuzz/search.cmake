# The search's parsers of outside text: the suite's tokenizer, the HTML page text and the words of a query.
marvek_fuzz_harness(NAME search_tokenizer SOURCE search/search_tokenizer_fuzz.cpp LIBRARIES marvek_search)
marvek_fuzz_harness(NAME search_html SOURCE search/search_html_fuzz.cpp LIBRARIES marvek_search)
marvek_fuzz_harness(NAME search_query SOURCE search/search_query_fuzz.cpp LIBRARIES marvek_search)
