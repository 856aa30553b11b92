#pragma once

// The figures a benchmark reports of its rounds: the median and the best.

#include <algorithm>
#include <iterator>

struct Figures
{
    double median = 0;
    double best = 0;
};

// Of a list of times (any container of doubles, at least one).
template<typename Values>
Figures figuresOf(Values values)
{
    std::sort(std::begin(values), std::end(values));
    return {values[std::size(values) / 2], values[0]};
}

template<typename Values>
double median(Values values)
{
    return figuresOf(std::move(values)).median;
}
