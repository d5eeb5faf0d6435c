# Includes run one way (framework, backup, repair, pages and report, app): the tree, and a fixture tree
# whose wrong includes the check must name, each of them.
add_test(NAME host.layers COMMAND ${LARKSPUR_SOURCE_DIR}/tools/check-layers ${LARKSPUR_SOURCE_DIR})
add_test(NAME host.layers_fixture COMMAND sh -c
  "${LARKSPUR_SOURCE_DIR}/tools/check-layers . | diff -u expected.txt -"
  WORKING_DIRECTORY ${LARKSPUR_SOURCE_DIR}/tests/fixtures/layers)
