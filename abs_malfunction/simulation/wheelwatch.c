/*
 * ABS malfunction detection simulation: sensor model, diagnosis, status line and the program.
 *
 * All arithmetic is single precision; the build keeps the compiler from contracting or
 * reordering it, so a run's numbers depend only on the C library's generator and its seed.
 * Building with WHEELWATCH_NO_MAIN leaves out `main`, for hosts that drive the steps themselves
 * (the tests compile this file into their own, tests/wheelwatch_state.c, to reach the state).
 */
/* usleep is declared only with the C library's default feature set. */
/* cppcheck-suppress misra-c2012-21.1 ; MD-06 */
#define _DEFAULT_SOURCE /* NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp) */

#include "wheelwatch.h"

#include <math.h>
/* cppcheck-suppress misra-c2012-21.6 ; MD-01 */
#include <stdio.h>
#include <stdlib.h>
/* cppcheck-suppress misra-c2012-21.10 ; MD-07 */
#include <time.h>
#include <unistd.h>

_Static_assert(sizeof(WheelPosition_t) == 4u, "wheel positions are stored in 4 bytes");
_Static_assert(sizeof(ABS_MalfunctionType_t) == 4u, "malfunction types are stored in 4 bytes");

/* ---- Configuration ---------------------------------------------------------------------- */

#define kVehicleSpeedKmh 60.0f
#define kStepsPerSecond 10.0f   /* one step every 100 ms */
#define kNoiseSpanKmh 4.0f      /* sensor noise covers -2..+2 km/h */
#define kMaxPlausibleKmh 300.0f /* upper bound of speedValid, included */
#define kSpoiledFactor 1.15f    /* front-left correction factor after the miscalibration */

#define kDriftLimitPercent 10.0f /* calibration error that counts as miscalibration */
#define kSpeedDiffLimitKmh 20.0f /* distance from the median speed */
#define kAccelLimitKmhPerS 15.0f /* magnitude of a plausible acceleration */
#define kLastUnconfirmedStep 55u /* a miscalibration is confirmed only after this step */

#define kStepCount 200u
#define kStatusEverySteps 10u
#define kMiscalibrationStep 50u
#define kStepPauseUs 100000u /* 100 ms per step */

/* ---- State ------------------------------------------------------------------------------ */

static SpeedData_t g_WheelSpeeds[WHEEL_MAX];
static SpeedSensorCalibration_t g_Calibrations[WHEEL_MAX];
static ABS_MalfunctionStatus_t g_MalfunctionStatus[WHEEL_MAX];
static float32 g_VehicleSpeed = kVehicleSpeedKmh; /* km/h, true vehicle speed, constant */
static uint32 g_SimulationStep;                   /* current step, 0..199 */

/* ---- Sensor model ----------------------------------------------------------------------- */

/* Signal quality in percent from the calibration error. An error of 1 or more (a factor at or
 * below 0, or at or above 2) leaves no quality at all: 0, not a negative value squeezed into a
 * byte. A factor that is not a number gives 0 as well. */
static uint8 QualityFromFactor(float32 correctionFactor) {
  const float32 calibrationError = fabsf(correctionFactor - 1.0f);
  const float32 quality = 100.0f * (1.0f - calibrationError);
  uint8 percent = 0u;
  if (quality >= 100.0f) {
    percent = 100u;
  } else if (quality > 0.0f) {
    percent = (uint8)quality; /* truncation toward zero */
  } else {
    /* no quality left, or not a number: stays 0 */
  }
  return percent;
}

void InitializeSimulation(void) {
  /* Calendar seconds as the seed: runs started in the same second repeat the same noise. */
  srand((unsigned int)time(NULL)); /* NOLINT(cert-msc32-c,cert-msc51-cpp) */

  for (uint32 i = 0u; i < (uint32)WHEEL_MAX; i++) {
    g_Calibrations[i].correctionFactor = 1.0f;
    g_Calibrations[i].offsetValue = 0.0f;
    g_Calibrations[i].calibrationValid = TRUE;

    g_WheelSpeeds[i].wheelSpeed = g_VehicleSpeed;
    g_WheelSpeeds[i].wheelSpeedRaw = g_VehicleSpeed;
    g_WheelSpeeds[i].accelerationX = 0.0f;
    g_WheelSpeeds[i].speedValid = TRUE;
    g_WheelSpeeds[i].qualityFactor = 100u;

    g_MalfunctionStatus[i].malfunctionType = ABS_MALFUNCTION_NONE;
    g_MalfunctionStatus[i].isActive = FALSE;
    g_MalfunctionStatus[i].affectedWheel = (WheelPosition_t)i;
    g_MalfunctionStatus[i].deviationValue = 0.0f;
    g_MalfunctionStatus[i].confirmedMalfunction = FALSE;
  }
}

void SimulateSpeedSensors(void) {
  /* Each wheel's calibrated speed of the previous step, km/h. Zero before the first step, so
   * the first acceleration is ten times the speed. */
  static float32 lastSpeeds[WHEEL_MAX];

  for (uint32 i = 0u; i < (uint32)WHEEL_MAX; i++) {
    SpeedData_t* const data = &g_WheelSpeeds[i];
    const SpeedSensorCalibration_t* const cal = &g_Calibrations[i];

    /* One draw per wheel; (float32)RAND_MAX rounds up to 2^31, so the noise stays in +-2 km/h. */
    /* NOLINTNEXTLINE(cert-msc30-c,cert-msc50-cpp,concurrency-mt-unsafe): single-threaded model */
    const float32 noise = ((float32)rand() / (float32)RAND_MAX - 0.5f) * kNoiseSpanKmh;
    data->wheelSpeedRaw = g_VehicleSpeed + noise;
    data->wheelSpeed = fmaf(data->wheelSpeedRaw, cal->correctionFactor, cal->offsetValue);

    data->accelerationX = (data->wheelSpeed - lastSpeeds[i]) * kStepsPerSecond;
    lastSpeeds[i] = data->wheelSpeed;

    data->speedValid =
        ((data->wheelSpeed >= 0.0f) && (data->wheelSpeed <= kMaxPlausibleKmh)) ? TRUE : FALSE;
    data->qualityFactor = QualityFromFactor(cal->correctionFactor);
  }
}

void SimulateMiscalibration(void) {
  g_Calibrations[WHEEL_FRONT_LEFT].correctionFactor = kSpoiledFactor;
  g_Calibrations[WHEEL_FRONT_LEFT].calibrationValid = FALSE;
}

/* ---- Diagnosis -------------------------------------------------------------------------- */

static void RecordMalfunction(ABS_MalfunctionStatus_t* status, ABS_MalfunctionType_t type,
                              float32 deviation, boolean confirmed) {
  status->malfunctionType = type;
  status->isActive = TRUE;
  status->deviationValue = deviation;
  status->confirmedMalfunction = confirmed;
}

void DetectMalfunctions(void) {
  float32 speeds[WHEEL_MAX];
  for (uint32 i = 0u; i < (uint32)WHEEL_MAX; i++) {
    speeds[i] = g_WheelSpeeds[i].wheelSpeed;
  }

  /* Three bubble passes sort four values ascending. */
  for (uint32 pass = 0u; pass < (uint32)WHEEL_MAX - 1u; pass++) {
    for (uint32 j = 0u; j < (uint32)WHEEL_MAX - 1u - pass; j++) {
      if (speeds[j] > speeds[j + 1u]) {
        const float32 swap = speeds[j];
        speeds[j] = speeds[j + 1u];
        speeds[j + 1u] = swap;
      }
    }
  }
  const float32 medianSpeed = (speeds[1] + speeds[2]) * 0.5f;

  for (uint32 i = 0u; i < (uint32)WHEEL_MAX; i++) {
    ABS_MalfunctionStatus_t* const status = &g_MalfunctionStatus[i];
    const SpeedData_t* const data = &g_WheelSpeeds[i];

    /* confirmedMalfunction survives a clean step: a wheel once confirmed stays listed. */
    status->malfunctionType = ABS_MALFUNCTION_NONE;
    status->isActive = FALSE;
    status->deviationValue = 0.0f;

    /* percent */
    const float32 calibrationDrift = fabsf(g_Calibrations[i].correctionFactor - 1.0f) * 100.0f;
    if (calibrationDrift > kDriftLimitPercent) {
      RecordMalfunction(status, ABS_MALFUNCTION_SPEED_SENSOR_MISCALIBRATION, calibrationDrift,
                        (g_SimulationStep > kLastUnconfirmedStep) ? TRUE : FALSE);
      continue;
    }

    /* km/h */
    const float32 speedDifference = fabsf(data->wheelSpeed - medianSpeed);
    if (speedDifference > kSpeedDiffLimitKmh) {
      RecordMalfunction(status, ABS_MALFUNCTION_SPEED_DIFFERENCE_EXCESSIVE, speedDifference, TRUE);
      continue;
    }

    /* km/h per second, either direction */
    const float32 accelerationMagnitude = fabsf(data->accelerationX);
    if (accelerationMagnitude > kAccelLimitKmhPerS) {
      RecordMalfunction(status, ABS_MALFUNCTION_ACCELERATION_IMPLAUSIBLE, accelerationMagnitude,
                        TRUE);
    }
  }
}

/* ---- Status line ------------------------------------------------------------------------ */

void PrintStatus(void) {
  static const char* const wheelNames[WHEEL_MAX] = {"FL", "FR", "RL", "RR"};
  static const char* const malfunctionNames[] = {"None", "Miscalibration", "Speed Difference",
                                                 "Acceleration Error"};

  (void)printf("Step %03u | ", (unsigned int)g_SimulationStep);
  for (uint32 i = 0u; i < (uint32)WHEEL_MAX; i++) {
    (void)printf("%s:%.1f ", wheelNames[i], (double)g_WheelSpeeds[i].wheelSpeed);
  }

  (void)printf("| Malfunctions: ");
  boolean anyMalfunction = FALSE;
  for (uint32 i = 0u; i < (uint32)WHEEL_MAX; i++) {
    const ABS_MalfunctionStatus_t* const status = &g_MalfunctionStatus[i];
    if (status->confirmedMalfunction != FALSE) {
      (void)printf("[%s:%s(%.1f)] ", wheelNames[i], malfunctionNames[status->malfunctionType],
                   (double)status->deviationValue);
      anyMalfunction = TRUE;
    }
  }
  if (!anyMalfunction) {
    (void)printf("None");
  }
  (void)printf("\n");
}

/* ---- Program ---------------------------------------------------------------------------- */

#ifndef WHEELWATCH_NO_MAIN
int main(void) {
  (void)printf("🚗 AUTOSAR ABS Malfunction Detection Simulation\n");
  (void)printf("===============================================\n\n");

  InitializeSimulation();

  (void)printf("Starting simulation...\n");
  (void)printf("Vehicle speed: %.1f km/h\n", (double)g_VehicleSpeed);
  (void)printf("Monitoring for malfunctions...\n\n");

  for (uint32 step = 0u; step < kStepCount; step++) {
    g_SimulationStep = step;

    /* Spoiled before this step's readings, so step 50 already sees the new factor. */
    if (step == kMiscalibrationStep) {
      (void)printf("\n🔧 Introducing miscalibration in Front Left sensor...\n\n");
      SimulateMiscalibration();
    }

    SimulateSpeedSensors();
    DetectMalfunctions();

    if ((step % kStatusEverySteps) == 0u) {
      PrintStatus();
    }

    usleep(kStepPauseUs);
  }

  (void)printf("\n✅ Simulation completed!\n");
  return 0;
}
#endif
