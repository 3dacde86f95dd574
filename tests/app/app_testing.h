// Helpers for the main window's tests (tests only): packets copied into a test's temporary
// folder, a settings file written before the window starts, and the nodes of the area tree.
#pragma once

#include "support/fake_dialogs.h"
#include "support/testing.h"

#include "app/area_tree.h"
#include "app/main_form.h"
#include "app/own_dir.h"
#include "app/settings_names.h"
#include "view/sjis_qt.h"

#include <QString>
#include <QStringList>
#include <QTreeWidgetItem>

#include <filesystem>
#include <string>

namespace pelorin::testing {

// Copies the demo packet (examples/demo) to `dir` and returns the path of its AREAS file.
inline std::string CopyDemo(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir.parent_path());
    std::filesystem::copy(std::filesystem::path(PELORIN_SOURCE_DIR) / "examples" / "demo", dir,
                          std::filesystem::copy_options::recursive);
    return (dir / "AREAS").string();
}

// A packet of one area ("0000001", letters `encoding`, rnews framing) holding `messages`
// plain ASCII messages "Subject N" from "userN@example.com", in `dir`. Returns the AREAS path.
inline std::string MakePacket(const std::filesystem::path& dir,
                              const std::string& areaName,
                              int messages,
                              const std::string& encoding = "un") {
    std::filesystem::create_directories(dir);
    std::string file;
    for (int i = 1; i <= messages; ++i) {
        const std::string n = std::to_string(i);
        const std::string message = "From: user" + n + "@example.com\nSubject: Subject " + n +
                                    "\nDate: Mon, 1 Jan 2024 10:00:00 +0900\nMessage-ID: <" + n +
                                    "." + areaName + "@example.com>\n\nBody " + n + "\n";
        file += "#! rnews " + std::to_string(message.size()) + "\n" + message;
    }
    WriteFile(dir / "0000001.MSG", file);
    WriteFile(dir / "AREAS", "0000001\t" + areaName + "\t" + encoding + "\n");
    return (dir / "AREAS").string();
}

// Settings lines written to <home>/pelorin.INI before a window starts (UTF-8 text, converted).
inline void WriteSettings(const TempDir& temp, const std::string& utf8) {
    std::filesystem::create_directories(temp.home());
    WriteFile(temp.home() / "pelorin.INI", S(utf8));
}

inline QString Q(const std::string& path) {
    return QString::fromStdString(path);
}

// The area node of a packet node whose area has `areaName`; null when none.
inline QTreeWidgetItem* AreaNode(QTreeWidgetItem* packetNode, const std::string& areaName) {
    for (int i = 0; packetNode && i < packetNode->childCount(); ++i) {
        const TGrp* area = TAreaTree::AreaOf(packetNode->child(i));
        if (area && area->areaName == areaName)
            return packetNode->child(i);
    }
    return nullptr;
}

}  // namespace pelorin::testing
