# Read by CTest after the discovered cases: the batch command's end-to-end test runs alone, as
# its program decodes real photographs under the sanitizers beside an X server of its own.
set_tests_properties(BatchProgramTest.TheAllFilesButtonWritesWhatTheToolWritesAndSaysSo
                     PROPERTIES RUN_SERIAL TRUE)
