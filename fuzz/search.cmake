# The search's parsers of outside text: the suite's tokenizer, the HTML page text, the words of a query,
# and the snippet of a page's text.
marvek_fuzz_harness(NAME search_tokenizer SOURCE search/search_tokenizer_fuzz.cpp LIBRARIES marvek_search)
marvek_fuzz_harness(NAME search_html SOURCE search/search_html_fuzz.cpp LIBRARIES marvek_search)
marvek_fuzz_harness(NAME search_query SOURCE search/search_query_fuzz.cpp LIBRARIES marvek_search)
marvek_fuzz_harness(NAME search_snippet SOURCE search/search_snippet_fuzz.cpp LIBRARIES marvek_search)
