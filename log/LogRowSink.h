#pragma once

#include <string>

// Takes every row pair the traffic log makes, in the order it makes them,
// before anything may drop rows on their way to the views.
class ILogRowSink
{
public:
    virtual ~ILogRowSink() {}

    // Any thread, called with the log's lock held: must not wait for the
    // disk or the window.
    virtual void AddRows(const std::string& strLeft, const std::string& strRight) = 0;
};
