#pragma once

#include <QString>
#include <QStringList>

// The program holds both editions; every difference between them is here.
enum class Edition { Generic, Compact, Deluxe };

struct EditionTraits
{
    Edition edition = Edition::Generic;
    // The edition's word ("Compact", "Deluxe") in the update feed.
    QString productType;
    // Product and edition as feedback and defect mails name them.
    QString editionString;
    QString applicationIdentifier;
    // What windows and the desktop call the program.
    QString applicationName;
    // The name the program is installed under (and its .desktop file's).
    QString programName;
    // Deluxe documents show their maps as tabs; Compact ones one map at a time.
    bool mapTabs = false;
    // Deluxe palettes can float in windows of their own.
    bool floatingPalettes = false;

    static const EditionTraits &generic();
    static const EditionTraits &compact();
    static const EditionTraits &deluxe();
    static const EditionTraits &forEdition(Edition edition);

    // Where this edition's preferences live; each edition keeps its own.
    QString settingsPath() const;
};

// What the command line asks for: `--edition=compact|deluxe` (or
// `--edition compact`), else the name the program was started under
// (thinkweb-compact, thinkweb-deluxe), else Deluxe; then files to open.
struct CommandLine
{
    Edition edition = Edition::Deluxe;
    QStringList files;
    // Options this program does not know, in order.
    QStringList unknownOptions;
    // Set when the command line cannot be followed (an unknown edition).
    QString error;

    // `arguments[0]` is the program as started (not resolved through links).
    static CommandLine parse(const QStringList &arguments);
};
