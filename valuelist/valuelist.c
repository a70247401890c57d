/*
 * valuelist: prints the numeric values of the standard return codes and of the odometer states,
 * so the values other units rely on can be checked against this build's compiler.
 */
/* cppcheck-suppress misra-c2012-21.6 ; MD-01 */
#include <stdio.h>

#include "Std_Types.h"

/* Odometer states, in the order the odometer moves through them. */
/* cppcheck-suppress misra-c2012-2.4 ; MD-08 */
typedef enum {
  ODOMETER_STATE_INIT = 0,
  ODOMETER_STATE_NORMAL_OPERATION = 1,
  ODOMETER_STATE_CAN_TIMEOUT = 2,
  ODOMETER_STATE_COMMUNICATION_LOST = 3,
  ODOMETER_STATE_ERROR = 4
} OdometerState_t;

int main(void) {
  (void)printf("=== ENUM VALUE CHECK ===\n");
  (void)printf("E_OK = %d\n", (int)E_OK);
  (void)printf("E_NOT_OK = %d\n", (int)E_NOT_OK);
  (void)printf("ODOMETER_STATE_INIT = %d\n", (int)ODOMETER_STATE_INIT);
  (void)printf("ODOMETER_STATE_NORMAL_OPERATION = %d\n", (int)ODOMETER_STATE_NORMAL_OPERATION);
  (void)printf("ODOMETER_STATE_CAN_TIMEOUT = %d\n", (int)ODOMETER_STATE_CAN_TIMEOUT);
  (void)printf("ODOMETER_STATE_COMMUNICATION_LOST = %d\n", (int)ODOMETER_STATE_COMMUNICATION_LOST);
  (void)printf("ODOMETER_STATE_ERROR = %d\n", (int)ODOMETER_STATE_ERROR);
  return 0;
}
