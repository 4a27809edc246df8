// The stages of spectral estimation: conversion, mean removal, autocorrelation, the
// Levinson-Durbin recursion and the evaluation of the model spectrum or the correlogram.
// Sums run in extended precision and are rounded to double when stored.
#pragma once

#include "AngleTable.h"
#include "EngineArrays.h"

// The 16-bit block as doubles, unscaled, with the source's time axis.
bool ConvertSamples(SampledArray<double>& work, const SampledArray<int16_t>& input);
// Arithmetic mean; 0 for an empty signal.
double BlockMean(const SampledArray<double>& signal);
// The same mean of the samples as doubles, from their integer sum.
double BlockMean(const SampledArray<int16_t>& samples);
// Adds function(t) to every sample whose index lies in [low, high] on the signal's time axis.
bool AddFunction(SampledArray<double>& signal, const TimeFunction& function, double low,
                 double high);
// r[0..L]; false when the signal has no more than L elements.
bool Autocorrelate(DoubleSequence& dest, const SampledArray<double>& signal, uint32_t highestLag,
                   bool unbiased);
// dest = E_p, a_1..a_p of the all-pole model of order p (at least 1), using dest's companion.
bool LevinsonDurbin(DoubleSequence& dest, const DoubleSequence& source, uint32_t order);
// Lets the recursion use the processor's fused multiply-add, where it has one, to shorten its
// sums' chains (the default). The results are the same bit for bit either way.
void UseFusedMultiplyAdd(bool allow);
// Times the recursion of this order both ways on a decaying autocorrelation written into
// `source` and keeps the quicker way from then on: on some processors the fused chain's checks
// cost more than they save. `dest` is overwritten.
void ChooseQuickerRecursion(DoubleSequence& dest, DoubleSequence& source, uint32_t order);
// |E_p|*dt / |A(e^(j*2*pi*f*dt))|^2 on the frame's frequency axis. The sines and cosines come
// from `table` when it covers the axis and the coefficients, otherwise from the unit directly;
// the values are the same either way.
bool EvaluateArSpectrum(SpectrumFrameStack& frames, const DoubleSequence& coefficients,
                        double samplePeriod, const AngleTable* table = nullptr);
// dt * |r_0 + 2*sum r_i*cos(2*pi*f*dt*i)| on the frame's frequency axis; cosines as above.
bool EvaluateCorrelogram(SpectrumFrameStack& frames, const DoubleSequence& autocorrelation,
                         double samplePeriod, const AngleTable* table = nullptr);
