vantrel_test(exports_test SOURCES exports_test.cpp LIBS vantrel_exports)
