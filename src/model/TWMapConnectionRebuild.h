#pragma once

#include "platform/Geometry.h"
#include "support/AttributedString.h"

#include <memory>
#include <optional>

class TWConnectionGraphic;
class TWGraphic;
class TWMapBranch;

// Bringing the connections of a subtree back in line after it was pasted or
// moved to another depth: a first-level branch (whose parent is the map's
// root) needs a title connection from the centre of the root, a deeper one a
// child connection from its parent's shape.
//
// The walks speak to the connection classes through TWConnectionFactory, so
// that a test can stand in for them; the installed factory is
// TWConnectionKindsFactory, which makes and renumbers the title and child
// connections and carries every setting they have.

enum class TWConnectionKind { Title, Child };

// The settings only connections have, with the values of a new connection.
struct TWConnectionSettings
{
    int connectionToParentSide = 1;
    int connectionFromParentSide = 0;
    int parentConnectionLineStyle = 0;
    // End decoration codes, 0 for none.
    int endAtParent = 0;
    int endAtChild = 0;
    float parentArrowLength = 20;
    float parentArrowWidth = 10;
    float childArrowLength = 20;
    float childArrowWidth = 10;
    bool parentFilled = true;
    bool childFilled = true;
    std::optional<AttributedString> label;
    int labelDirection = 0;
    float labelAngle = 0;
    Point labelOffset;

    friend bool operator==(const TWConnectionSettings &, const TWConnectionSettings &) = default;
};

// The graphic numbers a connection refers to: `connected` for a title
// connection, `parent` and `child` for a child connection.
struct TWConnectionGraphicNumbers
{
    long connected = 0;
    long parent = 0;
    long child = 0;
};

class TWConnectionFactory
{
public:
    virtual ~TWConnectionFactory() = default;

    // The factory in use; install(nullptr) restores TWConnectionKindsFactory.
    static TWConnectionFactory &installed();
    static void install(std::shared_ptr<TWConnectionFactory> factory);

    // Which of the two kinds the connection is, or nothing.
    virtual std::optional<TWConnectionKind> kindOf(const TWConnectionGraphic &connection) const = 0;
    // A connection of that kind with the initializer's defaults, joining nothing.
    virtual std::shared_ptr<TWConnectionGraphic> makeConnection(TWConnectionKind kind) = 0;
    // A title connection of the graphic's branch, from `position` to `graphic`.
    virtual std::shared_ptr<TWConnectionGraphic>
    makeTitleConnection(const std::shared_ptr<TWGraphic> &graphic, Point position) = 0;
    // A child connection of the child graphic's branch.
    virtual std::shared_ptr<TWConnectionGraphic>
    makeChildConnection(const std::shared_ptr<TWGraphic> &parent,
                        const std::shared_ptr<TWGraphic> &child) = 0;

    virtual TWConnectionGraphicNumbers
    graphicNumbers(const TWConnectionGraphic &connection) const = 0;
    // Undoable; the connection looks the numbers up and holds those graphics.
    virtual void setConnectedGraphicNumber(TWConnectionGraphic &connection, long number) = 0;
    virtual void setParentAndChildGraphicNumbers(TWConnectionGraphic &connection, long parent,
                                                 long child) = 0;
    // Undoable. Title connections only.
    virtual void setPosition(TWConnectionGraphic &connection, Point position) = 0;
    virtual TWConnectionSettings settings(const TWConnectionGraphic &connection) const = 0;
    // Undoable, setting by setting, in the order of the struct.
    virtual void applySettings(TWConnectionGraphic &connection,
                               const TWConnectionSettings &settings) = 0;
};

// The factory of the connection classes. Setting a number makes the
// connection look the graphic up in its map; a branch that is not in a map's
// tree yet (a pasted subtree) is looked at directly: its own shape for the
// child end, its parent's for the parent end.
class TWConnectionKindsFactory : public TWConnectionFactory
{
public:
    std::optional<TWConnectionKind> kindOf(const TWConnectionGraphic &connection) const override;
    std::shared_ptr<TWConnectionGraphic> makeConnection(TWConnectionKind kind) override;
    std::shared_ptr<TWConnectionGraphic>
    makeTitleConnection(const std::shared_ptr<TWGraphic> &graphic, Point position) override;
    std::shared_ptr<TWConnectionGraphic>
    makeChildConnection(const std::shared_ptr<TWGraphic> &parent,
                        const std::shared_ptr<TWGraphic> &child) override;
    TWConnectionGraphicNumbers graphicNumbers(const TWConnectionGraphic &connection) const override;
    void setConnectedGraphicNumber(TWConnectionGraphic &connection, long number) override;
    void setParentAndChildGraphicNumbers(TWConnectionGraphic &connection, long parent,
                                         long child) override;
    void setPosition(TWConnectionGraphic &connection, Point position) override;
    TWConnectionSettings settings(const TWConnectionGraphic &connection) const override;
    void applySettings(TWConnectionGraphic &connection,
                       const TWConnectionSettings &settings) override;
};

namespace TWMapConnectionRebuild {

// The kind a branch's connection must have: Title under the map's root,
// Child under any other branch, nothing for a branch without parent.
std::optional<TWConnectionKind> rightKindFor(const TWMapBranch &branch);

// Gives every branch of the subtree that has a parent a connection of the
// right kind (a new one with default settings where it has none or one of
// the other kind) pointing at the current graphic numbers.
void resetConnectionGraphicsRecursively(TWMapBranch &branch);
void resetConnectionGraphicsRecursively(TWMapBranch &branch, TWConnectionFactory &factory);

// After the branch was put under a new parent: a connection of the wrong
// kind is replaced by one of the right kind carrying every setting of the
// old one; one of the right kind gets the current numbers and drops its
// cached path. With `recursive`, the same for every descendant.
void resolveConnectionGraphicRecursively(TWMapBranch &branch, bool recursive);
void resolveConnectionGraphicRecursively(TWMapBranch &branch, bool recursive,
                                         TWConnectionFactory &factory);

// Reads the 43 carried settings of `from` and sets them on `to` (the fill
// switch follows the kind of `to`; a connection being replaced is not being
// dragged).
void carrySettings(const TWConnectionGraphic &from, TWConnectionGraphic &to,
                   TWConnectionKind toKind, TWConnectionFactory &factory);

} // namespace TWMapConnectionRebuild
