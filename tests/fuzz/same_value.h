#pragma once
// Equality of property-list values for the fuzz targets, a NaN read as equal to itself.

#include "platform/foundation/value.h"

#include <cmath>
#include <variant>

inline bool sameValue(const sv::Value& a, const sv::Value& b)
{
    if (a.storage().index() != b.storage().index())
        return false;
    if (auto* x = std::get_if<double>(&a.storage())) {
        double y = std::get<double>(b.storage());
        return *x == y || (std::isnan(*x) && std::isnan(y));
    }
    if (auto* x = a.asArray()) {
        const sv::Array& y = *b.asArray();
        if (x->size() != y.size())
            return false;
        for (std::size_t i = 0; i < x->size(); ++i)
            if (!sameValue((*x)[i], y[i]))
                return false;
        return true;
    }
    if (auto* x = a.asDictionary()) {
        const sv::Dictionary& y = *b.asDictionary();
        if (x->size() != y.size())
            return false;
        for (auto i = x->begin(), j = y.begin(); i != x->end(); ++i, ++j)
            if (i->first != j->first || !sameValue(i->second, j->second))
                return false;
        return true;
    }
    return a == b;
}
