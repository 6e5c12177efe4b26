vantrel_test(field_test SOURCES field_test.cpp LIBS vantrel_field vantrel_sim)
