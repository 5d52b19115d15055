#pragma once

// Branches a read of a document could not take as stored: those whose shape,
// label or connection was unreadable and was replaced, and those left out (with the
// branches below them) for lack of a shape, label or number. Whoever reads a
// document and tells the user what was lost holds one around the read: the
// readers of branches report to the innermost count of their thread, and
// reads made outside any count (a paste) report to nobody. Counts nest.
class TWBranchReadDamage
{
public:
    TWBranchReadDamage() : m_outer(t_current) { t_current = this; }
    ~TWBranchReadDamage() { t_current = m_outer; }
    TWBranchReadDamage(const TWBranchReadDamage &) = delete;
    TWBranchReadDamage &operator=(const TWBranchReadDamage &) = delete;

    // Whether a count is held around the read going on.
    static bool counting() { return t_current != nullptr; }
    static void noteMended(int branches = 1)
    {
        if (t_current)
            t_current->m_mended += branches;
    }
    static void noteLeftOut(int branches)
    {
        if (t_current)
            t_current->m_leftOut += branches;
    }

    // A picture whose data is cut short or damaged: kept as read, not shown.
    static void noteDamagedPicture()
    {
        if (t_current)
            ++t_current->m_damagedPictures;
    }

    int mended() const { return m_mended; }
    int leftOut() const { return m_leftOut; }
    int damagedPictures() const { return m_damagedPictures; }

private:
    static inline thread_local TWBranchReadDamage *t_current = nullptr;
    TWBranchReadDamage *m_outer;
    int m_mended = 0;
    int m_leftOut = 0;
    int m_damagedPictures = 0;
};
