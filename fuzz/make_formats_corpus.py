#!/usr/bin/env python3
"""Writes the seed corpus of formats_fuzzer: small files of each format, as this program
writes them and as other programs do.

Each file is one byte choosing the reader (0 N42, 1 SPE, 2 CSV, 3 tab-separated text; see
FormatsFuzzTarget.h) followed by the file. Run from anywhere; writes into fuzz/formats_corpus/.
"""
import os

N42, SPE, CSV, TEXT = 0, 1, 2, 3

OWN_N42 = """<?xml version="1.0" encoding="UTF-8"?>
<RadInstrumentData xmlns="http://physics.nist.gov/N42/2011/N42">
  <RadInstrumentDataCreatorName>Tarvio2</RadInstrumentDataCreatorName>
  <RadInstrumentInformation id="RadInstrumentInformation-1">
    <RadInstrumentManufacturerName>Unknown</RadInstrumentManufacturerName>
    <RadInstrumentModelName>Medipix2 ver 2.0 simulated: SIM0001</RadInstrumentModelName>
    <RadInstrumentClassCode>Other</RadInstrumentClassCode>
    <RadInstrumentVersion>
      <RadInstrumentComponentName>Software</RadInstrumentComponentName>
      <RadInstrumentComponentVersion>Tarvio2 0.1</RadInstrumentComponentVersion>
    </RadInstrumentVersion>
  </RadInstrumentInformation>
  <RadDetectorInformation id="RadDetectorInformation-1">
    <RadDetectorCategoryCode>Gamma</RadDetectorCategoryCode>
    <RadDetectorKindCode>Other</RadDetectorKindCode>
  </RadDetectorInformation>
  <EnergyCalibration id="EnergyCalibration-1">
    <CoefficientValues>-2.5 0.62 0</CoefficientValues>
  </EnergyCalibration>
  <RadMeasurement id="RadMeasurement-1">
    <Remark>Title: seed</Remark>
    <Remark>Bias voltage: 50 V</Remark>
    <Remark>Measurement ended: no</Remark>
    <MeasurementClassCode>Foreground</MeasurementClassCode>
    <StartDateTime>2024-05-01T12:34:56.789Z</StartDateTime>
    <RealTimeDuration>PT600.000S</RealTimeDuration>
    <Spectrum id="Spectrum-1" radDetectorInformationReference="RadDetectorInformation-1" energyCalibrationReference="EnergyCalibration-1">
      <LiveTimeDuration>PT598.500S</LiveTimeDuration>
      <ChannelData compressionCode="None">
0 1 2 3 4294967296 5 6 7 8 9 10 11 12 13 14 15
16 17
</ChannelData>
    </Spectrum>
  </RadMeasurement>
</RadInstrumentData>
"""

OTHER_N42 = """<?xml version="1.0"?>
<n42:RadInstrumentData xmlns:n42="http://physics.nist.gov/N42/2011/N42">
<n42:EnergyCalibration id="e"><n42:CoefficientValues>0 2</n42:CoefficientValues></n42:EnergyCalibration>
<n42:RadMeasurement id="m1"><n42:StartDateTime>2023-11-02T10:00:00-05:00</n42:StartDateTime>
<n42:RealTimeDuration>PT1H</n42:RealTimeDuration>
<n42:Spectrum id="s1" energyCalibrationReference="e"><n42:LiveTimeDuration>P1DT2M3.5S</n42:LiveTimeDuration>
<n42:ChannelData compressionCode="CountedZeroes">5 0 3 7 1.000000e+00</n42:ChannelData></n42:Spectrum>
</n42:RadMeasurement>
<n42:RadMeasurement id="m2"><n42:Spectrum id="s2" energyCalibrationReference="e">
<n42:ChannelData>9 9</n42:ChannelData></n42:Spectrum></n42:RadMeasurement>
</n42:RadInstrumentData>
"""

OLDER_N42 = """<N42InstrumentData><Measurement><Spectrum><StartTime>2006-01-01T00:00:00</StartTime>
<RealTime>PT10S</RealTime><LiveTime>PT9S</LiveTime>
<Calibration Type="Energy"><Equation><Coefficients>0 1.5 0</Coefficients></Equation></Calibration>
<ChannelData>1 2 3</ChannelData></Spectrum></Measurement></N42InstrumentData>
"""

OWN_SPE = "\r\n".join([
    "$SPEC_ID:", "seed", "$SPEC_REM:", "Start: 2024-05-01T12:34:56.789Z",
    "Interface: Medipix2 ver 2.0 simulated: SIM0001", "Threshold voltage: 0.45 V",
    "Measurement ended: yes", "$DATE_MEA:", "05/01/2024 12:34:56", "$MEAS_TIM:",
    "598.500 600.000", "$DATA:", "0 4", "0", "1", "4294967296", "3", "4", "$ENER_FIT:",
    "-2.5 0.62", "$MCA_CAL:", "3", "-2.5 0.62 0 keV", ""])

OTHER_SPE = "\r\n".join([
    "$SPEC_ID:", "No sample description was entered.", "$SPEC_REM:", "DET# 1",
    "$DATE_MEA:", "11/02/2023 10:00:00", "$MEAS_TIM:", "3590 3600", "$DATA:", "2 7",
    "       0       5", "      17       0", "       1       2", "$ROI:", "0", "$PRESETS:",
    "None", "0", "$MCA_CAL:", "3", "1.5E+000 2.5E-001 0.0E+000 keV", "$SHAPE_CAL:", "3",
    "1 0 0", ""])

OWN_CSV = "\r\n".join([
    "# Title: seed", "# Start: 2024-05-01T12:34:56.789Z", "# Real time: 600.000 s",
    "# Live time: 598.500 s", "# Energy calibration: -2.5 0.62 0 (keV = c0 + c1 ch + c2 ch^2)",
    "# Delay: 0.2 s", "# Samples per pulse: 450", "# Measurement ended: yes",
    "channel,energy_keV,counts", "0,-2.5000,0", "1,-1.8800,7", "2,-1.2600,4294967296", ""])

seeds = {
    "n42_own": (N42, OWN_N42),
    "n42_other_two_measurements": (N42, OTHER_N42),
    "n42_older_layout": (N42, OLDER_N42),
    "spe_own": (SPE, OWN_SPE),
    "spe_other_blocks": (SPE, OTHER_SPE),
    "csv_own": (CSV, OWN_CSV),
    "csv_semicolons": (CSV, "Channel;Energy;Counts\n0;10.0;5\n1;20.0;6\n2;30.0;7\n"),
    "csv_one_column": (CSV, "5\n6\n7\n"),
    "text_channels": (TEXT, "0\t5\r\n1\t6\r\n2\t4294967295\r\n"),
    "text_kev": (TEXT, "-2.5000\t5\r\n-1.8800\t6\r\n-1.2600\t7\r\n"),
}

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "formats_corpus")
os.makedirs(out, exist_ok=True)
for name, (reader, text) in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(bytes([reader]) + text.encode("utf-8"))
