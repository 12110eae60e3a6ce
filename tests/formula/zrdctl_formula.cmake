# zrdctl formula against the table of known results and failures.

# expect_result(EXPECTED ARG...): zrdctl formula ARG... prints EXPECTED (one or more lines).
function(expect_result expected)
  execute_process(COMMAND ${ZRDCTL} formula ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE err
                  RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE INPUT_FILE /dev/null)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
    message(SEND_ERROR "zrdctl formula ${ARGN}: got '${out}' (exit ${rc}, ${err}), expected '${expected}'")
  endif()
endfunction()

# expect_failure(KIND ARG...): exit status 1 and a reason on stderr that names KIND.
function(expect_failure kind)
  execute_process(COMMAND ${ZRDCTL} formula ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE err
                  RESULT_VARIABLE rc INPUT_FILE /dev/null)
  string(FIND "${err}" "${kind}" at)
  if(NOT rc EQUAL 1 OR at EQUAL -1)
    message(SEND_ERROR "zrdctl formula ${ARGN}: expected a ${kind}, got exit ${rc}, '${err}'")
  endif()
endfunction()

expect_result("14" "2 + 3 * 4")
expect_result("20" "(2 + 3) * 4")
expect_result("64" "2 ^ 3 ^ 2")
expect_result("3" "10 - 4 - 3")
expect_result("-2" "- 5 + 3")
expect_failure("list index error" "-5 + 3")
expect_result("(0-5)+3\n-2" --test "-5 + 3")
expect_failure("conversion error" "2+3")
expect_failure("list index error" "2 * -3")
expect_result("2 *(0-3)\n-6" --test "2 * -3")
# A minus before "(" negates the whole group, an exponent's sign stays in its number, and two
# minus signs cancel.
expect_result("(0-(1+2))\n-3" --test "-(1+2)")
expect_result("1e-5 * 2\n2E-5" --test "1e-5 * 2")
expect_result("(0-(0-5))\n5" --test "--5")
expect_result("3" "min(1 + 2 * 4|3)")
expect_result("7" --set p1=5 --set p2=7 "max(p1|p2)")
expect_result("0" "if 1 > 2 then 3")
expect_result("3" "if 2 > 1 then 3")
expect_result("5" "if 0 then 4 else 5")
expect_result("4" "if 2.5 then 4 else 5")
expect_result("-1" "(5 > 2) and (3 > 1)")
expect_result("0" "5 > 2 and 3 > 1")
expect_result("-1" "3 <= 3")
expect_result("-1" "3 >= 3")
expect_result("0" "2 >= 3")
expect_result("0" "SIN(0)")
expect_result("1" "cosh(0)")
expect_result("0.333333333333333" "1 / 3")
expect_failure("floating-point error" "1 / 0")
expect_result("0 2 - 2 * \n-4" --postfix --set p3=-2 "p3 * 2")
expect_result("0" "p7 * 2")
expect_failure("list index error" "P12 * 2")
expect_result("1" "1 2")
expect_failure("list index error" "2 * .5")
expect_result("3" --set p5=1.5 "f:p5 * 2")

# The formula test dialog's preset text, its postfix items and result.
expect_result("1 2 > 3 j 4 5 q 6 j 7 o f o f \n6" --postfix
              "if (1)>(2) then (3) else if (4)<>(5)then(6)else(7)")
# Asked values: --set answers as if typed; without one, stdin at its end cancels ("0").
expect_result("0 3 - 2 * \n-6" --ask --postfix --set p1=-3 "p1 * 2")
expect_result("0 2 * \n0" --ask --postfix "p1 * 2")
expect_failure("conversion error" --ask --set p1=abc "p1 * 2")
expect_failure("parser error" "1 + 'abc")
expect_failure("floating-point error" "ln(0)")
expect_failure("floating-point error" "arcsin(2)")
expect_failure("floating-point error" "(0 - 8) ^ 0.5")

# References from a parameter database: raw value = default; the first record of a key counts.
set(db "${WORK_DIR}/formula_test_base.mod")
file(WRITE "${db}" "QX database\nLanguage=Eng\n[Group]\nName_group=Main,\n[Subgroup]\n"
     "Name_subgroup=Page1,\n"
     "p1=CURR,1,INT,R-W,0,1000,0.1,A,A,250,Current,Current,0,0,1\n"
     "p3=NEG,3,INT,R-W,-100,100,1,u,u,-2,Neg,Neg,0,0,1\n"
     "p3=DUP,4,INT,R-W,-100,100,1,u,u,9,Dup,Dup,0,0,1\n.\n")
expect_result("250 0 2 - 2 * + \n246" --postfix --db "${db}" "p1 + p3 * 2")
expect_failure("cannot read" --db "${WORK_DIR}/no-such-base.mod" "p1")
