# The dataset layer: against the embedded server on a copy of the demo database (tst_dataset), and its
# text rules, connection strings and write-back statements on their own (tst_dataset_rules).
olm_add_test(tst_dataset SOURCES tst_dataset.cpp tst_dataset_fixture.h LIBS olm_toolkit_data olm_server olm_backend_embedded)
olm_add_test(tst_dataset_rules SOURCES tst_dataset_rules.cpp LIBS olm_toolkit_data olm_backend_odbc)
