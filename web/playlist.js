// The files chosen or dropped, played in order; N and P step through them.

export function createPlaylist() {
    return { entries: [], index: -1 };
}

// Appends `files` and makes the first of them current.
export function addFiles(list, files) {
    list.index = list.entries.length;
    for (const file of files) {
        list.entries.push({ file: file, title: null, failed: "" });
    }
}

export function currentEntry(list) {
    return list.entries[list.index];
}

// The index one entry on (+1) or back (-1); -1 past either end.
export function stepIndex(list, direction) {
    const next = list.index + direction;
    return next < 0 || next >= list.entries.length ? -1 : next;
}
