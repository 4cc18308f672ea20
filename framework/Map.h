// CMap: a keyed table with MFC's operations (Lookup, SetAt, operator[], RemoveKey).
#pragma once

#include <windows.h>
#include <map>

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
class CMap {
public:
    INT_PTR GetCount() const { return static_cast<INT_PTR>(m_map.size()); }
    BOOL IsEmpty() const { return m_map.empty(); }

    BOOL Lookup(ARG_KEY key, VALUE& rValue) const
    {
        auto it = m_map.find(key);
        if (it == m_map.end())
            return FALSE;
        rValue = it->second;
        return TRUE;
    }
    VALUE& operator[](ARG_KEY key) { return m_map[key]; }
    void SetAt(ARG_KEY key, ARG_VALUE newValue) { m_map[key] = newValue; }
    BOOL RemoveKey(ARG_KEY key) { return m_map.erase(key) ? TRUE : FALSE; }
    void RemoveAll() { m_map.clear(); }

private:
    std::map<KEY, VALUE> m_map;
};
