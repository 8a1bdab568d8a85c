#pragma once
// The component registry of the engine's classes: the HKEY_CLASSES_ROOT hive
// of Orvane's settings store, a registry-editor export file in the user's
// config folder. The engine owns only its own keys in it: registering
// replaces them, unregistering removes them, and every other key of the file
// stays as it was, byte for byte.

#include <string>
#include <vector>

namespace sonvel {

inline constexpr const char* kClassesRootName = "HKEY_CLASSES_ROOT";

// A text value (REG_SZ); an empty name is the key's default value.
struct RegistryText {
    std::string name;
    std::string text;
};

struct RegistryKeyEntry {
    std::string path;  // "\"-separated, below the root
    std::vector<RegistryText> values;
};

// $ORVANE_CONFIG_DIR, else $XDG_CONFIG_HOME/orvane, else ~/.config/orvane
// (relative variables are ignored, as everywhere in Orvane).
std::string ConfigFolder();
// The classes hive in the config folder.
std::string ClassesHivePath();

// Result of the hive operations: 0, or the errno of the step that failed.
// EILSEQ: the existing file is not a hive this layer can edit safely (it is
// left alone). ETIMEDOUT: another process holds the hive's lock.
int WriteClassKeys(const std::string& hivePath, const std::vector<RegistryKeyEntry>& keys);
// Removes the keys named and everything below them; missing keys are fine.
int RemoveClassKeys(const std::string& hivePath, const std::vector<std::string>& keyPaths);

// The value `name` of `keyPath`, read from the hive; false when missing.
bool ReadClassText(const std::string& hivePath, const std::string& keyPath, const std::string& name,
                   std::string* text);

}  // namespace sonvel
