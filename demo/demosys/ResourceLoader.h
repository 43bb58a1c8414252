#pragma once

#include <string>

// The status record handed to every loading stage. A stage that fails writes its reason
// into the message and, where its contract says so, clears the ok flag; no stage sets
// the flag again. The verbose flag gates optional trace lines.
class ResourceLoader {
public:
    ResourceLoader();

    const std::string& getMessage() const { return message; }
    void setMessage(const std::string& text) { message = text; }
    bool isOk() const { return ok; }
    void setOk(bool value) { ok = value; }
    bool isVerbose() const { return verbose; }
    void setVerbose(bool value) { verbose = value; }

    // Records a failure: the message and a cleared ok flag.
    void fail(const std::string& text);

private:
    std::string message;
    bool ok = true;
    bool verbose = false;
};
