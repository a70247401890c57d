#ifndef LATCH_CONSUMER_MY_RUNTIME_H
#define LATCH_CONSUMER_MY_RUNTIME_H

#include "Rte_Seatbelt.h"

/* Diagnostic reports received so far. */
uint32 MyRuntime_ReportCount(void);

#endif /* LATCH_CONSUMER_MY_RUNTIME_H */
