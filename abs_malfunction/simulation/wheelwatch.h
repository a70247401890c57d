/*
 * ABS malfunction detection simulation (program `wheelwatch`).
 *
 * Four wheel-speed sensors of a vehicle at a constant 60 km/h, one step every 100 ms. Each step
 * the sensors are read with noise and calibrated, every wheel is diagnosed against its
 * calibration, the median speed and its acceleration, and every tenth step a status line is
 * printed. The program's own `main` runs 200 steps; the operations below are the steps it calls,
 * declared here so a test host can drive them one at a time.
 *
 * Single-threaded; all state is static storage private to the module.
 */
#ifndef ABS_MALFUNCTION_SIMULATION_WHEELWATCH_H
#define ABS_MALFUNCTION_SIMULATION_WHEELWATCH_H

#include "Std_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Wheel positions; every per-wheel array is indexed by them, walked FL, FR, RL, RR. */
typedef enum {
  WHEEL_FRONT_LEFT = 0u,
  WHEEL_FRONT_RIGHT = 1u,
  WHEEL_REAR_LEFT = 2u,
  WHEEL_REAR_RIGHT = 3u,
  WHEEL_MAX = 4u /* number of wheels */
} WheelPosition_t;

/* Kind of malfunction found for one wheel in one step. */
typedef enum {
  ABS_MALFUNCTION_NONE = 0u,
  ABS_MALFUNCTION_SPEED_SENSOR_MISCALIBRATION = 1u,
  ABS_MALFUNCTION_SPEED_DIFFERENCE_EXCESSIVE = 2u,
  ABS_MALFUNCTION_ACCELERATION_IMPLAUSIBLE = 3u
} ABS_MalfunctionType_t;

/* One wheel's sensor output. */
typedef struct {
  float32 wheelSpeed;    /* km/h, calibrated */
  float32 wheelSpeedRaw; /* km/h, as the sensor reads it */
  float32 accelerationX; /* km/h per second, change of wheelSpeed since the previous step */
  boolean speedValid;    /* wheelSpeed lies in 0..300 km/h, both bounds included */
  uint8 qualityFactor;   /* percent 0..100, from the calibration error */
} SpeedData_t;

/* One sensor's calibration: wheelSpeed = wheelSpeedRaw * correctionFactor + offsetValue. */
typedef struct {
  float32 correctionFactor; /* 1.0 for an ideal sensor */
  float32 offsetValue;      /* km/h */
  boolean calibrationValid; /* informational only; no computation reads it */
} SpeedSensorCalibration_t;

/* One wheel's diagnosis. */
typedef struct {
  ABS_MalfunctionType_t malfunctionType; /* found in the current step, or NONE */
  boolean isActive;                      /* a malfunction was found in the current step */
  WheelPosition_t affectedWheel;         /* the entry's own index */
  float32 deviationValue;       /* percent, km/h or km/h per second, after malfunctionType */
  boolean confirmedMalfunction; /* listed on the status line; changes only when a test fires */
} ABS_MalfunctionStatus_t;

/* Seeds the C library's generator with the calendar time and gives every record its start value
 * (ideal calibrations, 60.0 km/h on every wheel, no malfunction). */
void InitializeSimulation(void);

/* One step of the four sensors: one rand() draw per wheel for +-2 km/h of noise, calibration,
 * acceleration against the previous step, validity and quality. */
void SimulateSpeedSensors(void);

/* Spoils the front-left sensor: correction factor 1.15, calibration marked invalid. */
void SimulateMiscalibration(void);

/* Diagnoses every wheel for the current step; the first of miscalibration (> 10 %), speed
 * difference from the median (> 20 km/h) and acceleration (> 15 km/h/s) to fire wins. */
void DetectMalfunctions(void);

/* Prints the status line of the current step: the four speeds and every confirmed malfunction. */
void PrintStatus(void);

#ifdef __cplusplus
}
#endif

#endif /* ABS_MALFUNCTION_SIMULATION_WHEELWATCH_H */
