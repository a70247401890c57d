// Tests of the ABS simulation steps: sensor model, diagnosis and status line. Every test case
// runs in its own process, so each starts from the module's program-start state.
#include "wheelwatch_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

namespace {

using Speeds = std::array<float32, WHEEL_MAX>;
constexpr unsigned kSeed = 20240607u;

// The module's file-scope state (tests/wheelwatch_state.c).
SpeedData_t (&wheelSpeeds)[WHEEL_MAX] = *WheelwatchState_WheelSpeeds();
SpeedSensorCalibration_t (&calibrations)[WHEEL_MAX] = *WheelwatchState_Calibrations();
ABS_MalfunctionStatus_t (&malfunctionStatus)[WHEEL_MAX] = *WheelwatchState_MalfunctionStatus();
uint32& simulationStep = *WheelwatchState_SimulationStep();

// Fresh records with a generator whose draws the test can repeat.
void StartSeeded() {
  InitializeSimulation();
  std::srand(kSeed);
}

// Calibrated speeds in km/h, no acceleration; ready for DetectMalfunctions.
void SetSpeeds(const Speeds& speeds) {
  for (std::size_t i = 0; i < WHEEL_MAX; ++i) {
    wheelSpeeds[i].wheelSpeed = speeds[i];
    wheelSpeeds[i].accelerationX = 0.0f;
  }
}

ABS_MalfunctionType_t Found(std::size_t wheel) {
  return malfunctionStatus[wheel].malfunctionType;
}
float32 Deviation(std::size_t wheel) {
  return malfunctionStatus[wheel].deviationValue;
}

std::string StatusLine() {
  testing::internal::CaptureStdout();
  PrintStatus();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

// ---- Sensor model ---------------------------------------------------------------------------

TEST(WheelwatchSensors, IdealSensorsReadSinglePrecisionNoiseAndItsRateOfChange) {
  constexpr std::size_t kSteps = 200;
  std::array<Speeds, kSteps> raw{};
  Speeds previous{};  // 0 before the first step, not the 60 km/h of the initialisation
  StartSeeded();
  for (std::size_t step = 0; step < kSteps; ++step) {
    SimulateSpeedSensors();
    for (std::size_t i = 0; i < WHEEL_MAX; ++i) {
      const SpeedData_t& d = wheelSpeeds[i];
      raw[step][i] = d.wheelSpeedRaw;
      ASSERT_TRUE(d.wheelSpeedRaw >= 58.0f && d.wheelSpeedRaw <= 62.0f) << d.wheelSpeedRaw;
      ASSERT_EQ(d.wheelSpeed, d.wheelSpeedRaw) << "an ideal calibration changes nothing";
      const float32 change = d.wheelSpeed - previous[i];
      ASSERT_EQ(d.accelerationX, change * 10.0f) << "step " << step << " wheel " << i;
      ASSERT_EQ(d.speedValid, TRUE);
      ASSERT_EQ(d.qualityFactor, 100u);
      previous[i] = d.wheelSpeed;
    }
  }

  // The same draws again, one per wheel in wheel order, through the noise formula with each
  // operation rounded to single precision.
  std::srand(kSeed);
  for (std::size_t step = 0; step < kSteps; ++step) {
    for (std::size_t i = 0; i < WHEEL_MAX; ++i) {
      const float32 fraction = static_cast<float32>(std::rand()) / static_cast<float32>(RAND_MAX);
      const float32 centred = fraction - 0.5f;
      const float32 noise = centred * 4.0f;
      ASSERT_EQ(raw[step][i], 60.0f + noise) << "step " << step << " wheel " << i;
    }
  }
}

TEST(WheelwatchSensors, MiscalibrationSpoilsFrontLeftOnly) {
  StartSeeded();
  SimulateSpeedSensors();
  SimulateMiscalibration();
  SimulateSpeedSensors();

  const SpeedData_t& fl = wheelSpeeds[WHEEL_FRONT_LEFT];
  EXPECT_EQ(calibrations[WHEEL_FRONT_LEFT].offsetValue, 0.0f);
  EXPECT_EQ(calibrations[WHEEL_FRONT_LEFT].calibrationValid, FALSE);
  EXPECT_EQ(fl.wheelSpeed, std::fma(fl.wheelSpeedRaw, 1.15f, 0.0f));
  EXPECT_TRUE(fl.wheelSpeed > 66.6f && fl.wheelSpeed < 71.4f) << fl.wheelSpeed;
  EXPECT_EQ(fl.qualityFactor, 85u);
  for (std::size_t i = WHEEL_FRONT_RIGHT; i < WHEEL_MAX; ++i) {
    EXPECT_EQ(calibrations[i].calibrationValid, TRUE) << "wheel " << i;
    EXPECT_EQ(wheelSpeeds[i].wheelSpeed, wheelSpeeds[i].wheelSpeedRaw) << "wheel " << i;
    EXPECT_EQ(wheelSpeeds[i].qualityFactor, 100u) << "wheel " << i;
  }
}

TEST(WheelwatchSensors, ValidRangeIncludesZeroAndThreeHundred) {
  StartSeeded();
  // A factor of 0 makes the calibrated speed exactly the offset, whatever the noise.
  const Speeds offsets = {0.0f, std::nextafter(0.0f, -1.0f), 300.0f,
                          std::nextafter(300.0f, 400.0f)};
  const std::array<boolean, WHEEL_MAX> expected = {TRUE, FALSE, TRUE, FALSE};
  for (std::size_t i = 0; i < WHEEL_MAX; ++i) {
    calibrations[i].correctionFactor = 0.0f;
    calibrations[i].offsetValue = offsets[i];
  }
  SimulateSpeedSensors();
  for (std::size_t i = 0; i < WHEEL_MAX; ++i) {
    EXPECT_EQ(wheelSpeeds[i].speedValid, expected[i]) << "speed " << offsets[i];
  }
}

TEST(WheelwatchSensors, QualityFactorFollowsCalibrationErrorAndNeverGoesNegative) {
  const std::pair<float32, unsigned> cases[] = {
      {1.0f, 100u},
      {1.15f, 85u},
      {0.85f, 85u},
      {1.5f, 50u},
      {0.005f, 0u},
      // An error of 1 or more leaves no quality; beyond 1 it must not wrap into the byte.
      {0.0f, 0u},
      {2.0f, 0u},
      {2.5f, 0u},
      {-1.0f, 0u},
      {1000.0f, 0u},
      {std::numeric_limits<float32>::quiet_NaN(), 0u}};
  StartSeeded();
  for (const auto& [factor, quality] : cases) {
    calibrations[WHEEL_REAR_RIGHT].correctionFactor = factor;
    SimulateSpeedSensors();
    EXPECT_EQ(wheelSpeeds[WHEEL_REAR_RIGHT].qualityFactor, quality) << "factor " << factor;
  }
}

// ---- Diagnosis ------------------------------------------------------------------------------

TEST(WheelwatchDetection, MedianIsMeanOfMiddleTwoInAnyWheelOrder) {
  InitializeSimulation();
  Speeds speeds = {50.0f, 60.0f, 70.0f, 100.0f};
  // Every arrangement: a sort that misses a swap moves the median away from 65.
  do {
    SetSpeeds(speeds);
    DetectMalfunctions();
    for (std::size_t i = 0; i < WHEEL_MAX; ++i) {
      // 100 lies 35 from the median; 50 lies 15 and stays below the limit.
      const bool outlier = speeds[i] == 100.0f;
      EXPECT_EQ(Found(i),
                outlier ? ABS_MALFUNCTION_SPEED_DIFFERENCE_EXCESSIVE : ABS_MALFUNCTION_NONE);
      EXPECT_EQ(Deviation(i), outlier ? 35.0f : 0.0f);
    }
  } while (std::next_permutation(speeds.begin(), speeds.end()));
}

TEST(WheelwatchDetection, ThresholdsAreStrict) {
  InitializeSimulation();
  SetSpeeds({60.0f, 60.0f, 60.0f, 80.0f});  // median 60: exactly 20 km/h off
  wheelSpeeds[WHEEL_FRONT_LEFT].accelerationX = 15.0f;
  wheelSpeeds[WHEEL_FRONT_RIGHT].accelerationX = -15.0f;
  DetectMalfunctions();
  for (std::size_t i = 0; i < WHEEL_MAX; ++i) {
    EXPECT_EQ(Found(i), ABS_MALFUNCTION_NONE) << "wheel " << i;
    EXPECT_EQ(malfunctionStatus[i].isActive, FALSE) << "wheel " << i;
  }

  SetSpeeds({60.0f, 60.0f, 60.0f, std::nextafter(80.0f, 81.0f)});
  wheelSpeeds[WHEEL_FRONT_LEFT].accelerationX = std::nextafter(15.0f, 16.0f);
  wheelSpeeds[WHEEL_FRONT_RIGHT].accelerationX = -16.0f;  // counts by its magnitude
  DetectMalfunctions();
  EXPECT_EQ(Found(WHEEL_REAR_RIGHT), ABS_MALFUNCTION_SPEED_DIFFERENCE_EXCESSIVE);
  EXPECT_EQ(Found(WHEEL_FRONT_LEFT), ABS_MALFUNCTION_ACCELERATION_IMPLAUSIBLE);
  EXPECT_EQ(Found(WHEEL_FRONT_RIGHT), ABS_MALFUNCTION_ACCELERATION_IMPLAUSIBLE);
  EXPECT_EQ(Deviation(WHEEL_FRONT_RIGHT), 16.0f);

  // No float factor gives a drift of exactly 10 %; these are the neighbours on either side.
  SetSpeeds({60.0f, 60.0f, 60.0f, 60.0f});
  const Speeds factors = {std::nextafter(1.1f, 1.0f), 1.1f, std::nextafter(0.9f, 1.0f), 0.9f};
  for (std::size_t i = 0; i < WHEEL_MAX; ++i)
    calibrations[i].correctionFactor = factors[i];
  DetectMalfunctions();
  EXPECT_EQ(Found(WHEEL_FRONT_LEFT), ABS_MALFUNCTION_NONE);
  EXPECT_EQ(Found(WHEEL_FRONT_RIGHT), ABS_MALFUNCTION_SPEED_SENSOR_MISCALIBRATION);
  EXPECT_EQ(Found(WHEEL_REAR_LEFT), ABS_MALFUNCTION_NONE);
  EXPECT_EQ(Found(WHEEL_REAR_RIGHT), ABS_MALFUNCTION_SPEED_SENSOR_MISCALIBRATION);
}

TEST(WheelwatchDetection, FirstFiringTestWins) {
  InitializeSimulation();
  SetSpeeds({120.0f, 100.0f, 60.0f, 60.0f});  // median 80
  for (auto& d : wheelSpeeds)
    d.accelerationX = 500.0f;
  calibrations[WHEEL_FRONT_LEFT].correctionFactor = 1.15f;
  simulationStep = 60u;
  DetectMalfunctions();
  // Miscalibration hides the front-left wheel's speed difference and acceleration.
  EXPECT_EQ(Found(WHEEL_FRONT_LEFT), ABS_MALFUNCTION_SPEED_SENSOR_MISCALIBRATION);
  EXPECT_FLOAT_EQ(Deviation(WHEEL_FRONT_LEFT), 15.0f);
  // Exactly 20 km/h from the median is no speed difference, so acceleration decides.
  EXPECT_EQ(Found(WHEEL_FRONT_RIGHT), ABS_MALFUNCTION_ACCELERATION_IMPLAUSIBLE);
  EXPECT_EQ(Deviation(WHEEL_REAR_LEFT), 500.0f);

  calibrations[WHEEL_FRONT_LEFT].correctionFactor = 1.0f;
  wheelSpeeds[WHEEL_FRONT_LEFT].wheelSpeed = 200.0f;  // median still 80
  DetectMalfunctions();
  EXPECT_EQ(Found(WHEEL_FRONT_LEFT), ABS_MALFUNCTION_SPEED_DIFFERENCE_EXCESSIVE);
  EXPECT_EQ(Deviation(WHEEL_FRONT_LEFT), 120.0f);
}

// ---- Confirmed flag across steps ------------------------------------------------------------

TEST(WheelwatchConfirmation, ConfirmationOutlivesTheMalfunction) {
  InitializeSimulation();
  SetSpeeds({60.0f, 60.0f, 60.0f, 60.0f});
  wheelSpeeds[WHEEL_REAR_LEFT].accelerationX = -20.0f;
  DetectMalfunctions();
  ASSERT_EQ(malfunctionStatus[WHEEL_REAR_LEFT].confirmedMalfunction, TRUE);

  wheelSpeeds[WHEEL_REAR_LEFT].accelerationX = 0.0f;
  simulationStep = 1u;
  DetectMalfunctions();
  const ABS_MalfunctionStatus_t& rl = malfunctionStatus[WHEEL_REAR_LEFT];
  EXPECT_EQ(rl.malfunctionType, ABS_MALFUNCTION_NONE);
  EXPECT_EQ(rl.isActive, FALSE);
  EXPECT_EQ(rl.deviationValue, 0.0f);
  EXPECT_EQ(rl.confirmedMalfunction, TRUE);
  EXPECT_EQ(rl.affectedWheel, WHEEL_REAR_LEFT);
  EXPECT_EQ(malfunctionStatus[WHEEL_FRONT_LEFT].confirmedMalfunction, FALSE);
}

// The program's first 61 steps with the real sensor model, without the pauses.
TEST(WheelwatchConfirmation, RunConfirmsAllWheelsAtStartAndFrontLeftAgainFromStep56) {
  StartSeeded();
  for (uint32 step = 0u; step <= 60u; ++step) {
    simulationStep = step;
    if (step == 50u)
      SimulateMiscalibration();
    SimulateSpeedSensors();
    DetectMalfunctions();

    if (step == 0u) {  // the previous speeds were 0: about 600 km/h per second everywhere
      for (std::size_t i = 0; i < WHEEL_MAX; ++i) {
        EXPECT_EQ(Found(i), ABS_MALFUNCTION_ACCELERATION_IMPLAUSIBLE);
        EXPECT_TRUE(Deviation(i) >= 580.0f && Deviation(i) <= 620.0f) << Deviation(i);
      }
    }
    if (step == 50u) {  // the jump is an implausible acceleration, but miscalibration wins
      EXPECT_GT(std::fabs(wheelSpeeds[WHEEL_FRONT_LEFT].accelerationX), 15.0f);
    }
    // Confirmed at step 0, withdrawn by the early miscalibration, confirmed again after 55.
    EXPECT_EQ(malfunctionStatus[WHEEL_FRONT_LEFT].confirmedMalfunction,
              (step < 50u || step > 55u) ? TRUE : FALSE)
        << "step " << step;
    if (step >= 50u) {
      EXPECT_EQ(Found(WHEEL_FRONT_LEFT), ABS_MALFUNCTION_SPEED_SENSOR_MISCALIBRATION);
    }
    for (std::size_t i = WHEEL_FRONT_RIGHT; i < WHEEL_MAX; ++i) {
      EXPECT_EQ(malfunctionStatus[i].confirmedMalfunction, TRUE) << "step " << step;
    }
  }
}

// ---- Status line ----------------------------------------------------------------------------

TEST(WheelwatchStatus, LineWithoutConfirmedMalfunctionEndsInNone) {
  InitializeSimulation();
  SetSpeeds({59.96f, 60.04f, 0.0f, 299.96f});
  malfunctionStatus[WHEEL_FRONT_RIGHT].isActive = TRUE;  // active alone is not listed
  simulationStep = 7u;
  EXPECT_EQ(StatusLine(), "Step 007 | FL:60.0 FR:60.0 RL:0.0 RR:300.0 | Malfunctions: None\n");
  simulationStep = 190u;
  EXPECT_EQ(StatusLine().substr(0, 11), "Step 190 | ");
}

TEST(WheelwatchStatus, ListsEveryConfirmedWheelWithItsCurrentFinding) {
  InitializeSimulation();
  SetSpeeds({68.9f, 61.2f, 59.4f, 60.8f});
  simulationStep = 60u;
  malfunctionStatus[WHEEL_FRONT_LEFT] = {ABS_MALFUNCTION_SPEED_SENSOR_MISCALIBRATION, TRUE,
                                         WHEEL_FRONT_LEFT, 14.999998f, TRUE};
  malfunctionStatus[WHEEL_FRONT_RIGHT] = {ABS_MALFUNCTION_ACCELERATION_IMPLAUSIBLE, TRUE,
                                          WHEEL_FRONT_RIGHT, 17.5f, TRUE};
  malfunctionStatus[WHEEL_REAR_LEFT].confirmedMalfunction = TRUE;
  malfunctionStatus[WHEEL_REAR_RIGHT].confirmedMalfunction = TRUE;
  EXPECT_EQ(StatusLine(),
            "Step 060 | FL:68.9 FR:61.2 RL:59.4 RR:60.8 | Malfunctions: "
            "[FL:Miscalibration(15.0)] [FR:Acceleration Error(17.5)] [RL:None(0.0)] "
            "[RR:None(0.0)] \n");

  malfunctionStatus[WHEEL_FRONT_LEFT].confirmedMalfunction = FALSE;
  malfunctionStatus[WHEEL_FRONT_RIGHT].confirmedMalfunction = FALSE;
  malfunctionStatus[WHEEL_REAR_LEFT] = {ABS_MALFUNCTION_SPEED_DIFFERENCE_EXCESSIVE, TRUE,
                                        WHEEL_REAR_LEFT, 35.0f, TRUE};
  malfunctionStatus[WHEEL_REAR_RIGHT].confirmedMalfunction = FALSE;
  EXPECT_EQ(StatusLine(),
            "Step 060 | FL:68.9 FR:61.2 RL:59.4 RR:60.8 | Malfunctions: "
            "[RL:Speed Difference(35.0)] \n");
}

}  // namespace
