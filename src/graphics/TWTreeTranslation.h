#pragma once

// While one lives, the graphics whose bounds change belong to a whole tree
// that moves by one offset: a branch's connection is not fitted as its shape
// moves, since the mover fits every connection once all ends have moved.
class TWTreeTranslation
{
public:
    TWTreeTranslation();
    ~TWTreeTranslation();
    TWTreeTranslation(const TWTreeTranslation &) = delete;
    TWTreeTranslation &operator=(const TWTreeTranslation &) = delete;

    static bool active();

private:
    bool m_outer;
};
