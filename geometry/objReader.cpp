// objReader.cpp
// Reads a Wavefront OBJ mesh in two passes over the same stream: the first counts vertices,
// texture coordinates and triangles and creates the groups, the second fills the arrays. Indices
// are stored as written; triangles whose indices leave the arrays are skipped by isTriangleDrawable
// wherever the model is used. Writes never leave the arrays the first pass sized.
#include "geometry/geometry.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace {

// Tokens are read into a 128-byte buffer; a longer run of non-blanks is read as several tokens.
const int tokenSize = 128;

bool readToken(FILE* file, char* token) { return fscanf(file, "%127s", token) == 1; }

// Reads the rest of the current line, at most 127 characters; anything beyond that on a longer
// line is read later as further tokens.
void skipLine(FILE* file) {
    char line[tokenSize];
    if (!fgets(line, sizeof line, file)) line[0] = '\0';
}

// The group name of a 'g' line: the first word of the rest of the line ("default" when blank).
void readGroupName(FILE* file, char* name) {
    char line[tokenSize];
    if (!fgets(line, sizeof line, file) || sscanf(line, "%127s", name) != 1) strcpy(name, "default");
}

// How every corner of one face is written.
enum FaceForm {
    FORM_VERTEX_NORMAL,    // v//n
    FORM_FULL,             // v/t/n
    FORM_VERTEX_TEXCOORD,  // v/t
    FORM_VERTEX,           // v
};

// Each form as the items scanf would match: 'd' a number (leading blanks skipped), '/' itself.
const char* const formPatterns[] = {"d//d", "d/d/d", "d/d", "d"};

// Characters from a token already read or from the stream, with one character of push-back, so
// that a corner is parsed the same way from either.
struct CharSource {
    const char* text;  // null: read the file
    FILE* file;
    size_t position = 0;
    int get() {
        if (!text) return fgetc(file);
        const unsigned char c = static_cast<unsigned char>(text[position]);
        if (c == '\0') return EOF;
        ++position;
        return c;
    }
    void unget(int c) {
        if (c == EOF) return;
        if (text) {
            --position;
        } else {
            ungetc(c, file);
        }
    }
};

// An index that does not fit 32 bits: stored as this, which no array slot answers to.
const int32_t outOfRangeIndex = -1;

// A decimal number as "%d" reads it (blanks skipped, an optional sign, digits), converted with
// strtol and a range check instead of scanf's undefined overflow. False when no digit follows;
// the first character that is not part of the number is left in the source.
bool readNumber(CharSource& source, int& value) {
    int c = source.get();
    while (c != EOF && isspace(c)) c = source.get();
    char digits[24];
    size_t length = 0;
    bool tooLong = false;
    if (c == '+' || c == '-') {
        digits[length++] = char(c);
        c = source.get();
    }
    const size_t signLength = length;
    while (c != EOF && isdigit(c)) {
        if (length == signLength + 1 && digits[signLength] == '0') {
            digits[signLength] = char(c);  // leading zeros never fill the buffer
        } else if (length + 1 < sizeof digits) {
            digits[length++] = char(c);
        } else {
            tooLong = true;
        }
        c = source.get();
    }
    source.unget(c);
    if (length == signLength) return false;
    digits[length] = '\0';
    errno = 0;
    const long number = strtol(digits, nullptr, 10);
    const bool fits = !tooLong && errno != ERANGE && number >= INT32_MIN && number <= INT32_MAX;
    value = fits ? int(number) : outOfRangeIndex;
    return true;
}

// Matches one corner of the form; returns the number of fields converted (0 at the end of the
// input too). A literal '/' that does not match stops the read, left in the source.
int readCorner(FaceForm form, CharSource source, int* fields[3]) {
    int matched = 0;
    for (const char* item = formPatterns[form]; *item; ++item) {
        if (*item == 'd') {
            if (!readNumber(source, *fields[matched])) break;
            ++matched;
        } else {
            const int c = source.get();
            if (c != *item) {
                source.unget(c);
                break;
            }
        }
    }
    return matched;
}

FaceForm faceFormOf(const char* token) {
    int a, b, c;
    int* fields[3] = {&a, &b, &c};
    if (strstr(token, "//")) return FORM_VERTEX_NORMAL;
    if (readCorner(FORM_FULL, {token, nullptr}, fields) == 3) return FORM_FULL;
    if (readCorner(FORM_VERTEX_TEXCOORD, {token, nullptr}, fields) == 2) return FORM_VERTEX_TEXCOORD;
    return FORM_VERTEX;
}

bool formHasTexcoord(FaceForm form) { return form == FORM_FULL || form == FORM_VERTEX_TEXCOORD; }

// The scratch values that every corner of a face is read into: a read that matches only in part
// leaves the missing numbers as the corner before set them.
struct Corner {
    int vertex = 0, texcoord = 0, normal = 0;
};

// Parses one corner from a string (source null) or reads it from the stream; returns the number
// of fields matched.
int readCorner(FaceForm form, const char* source, FILE* file, Corner& c) {
    int* fields[3] = {&c.vertex, form == FORM_VERTEX_NORMAL ? &c.normal : &c.texcoord, &c.normal};
    return readCorner(form, CharSource{source, file}, fields);
}

// Reads one face after its 'f' token and hands each triangle of its fan to emit(triangle).
// The first three corners always make a triangle; further corners follow while a read yields at
// least its first number, so a face continues across line ends. At the end of the file before the
// first corner the face is empty.
template <typename Emit>
void readFace(FILE* file, Emit emit) {
    char token[tokenSize];
    if (!readToken(file, token)) return;
    const FaceForm form = faceFormOf(token);
    const bool withTexcoord = formHasTexcoord(form);
    Corner c;
    ObjTriangle triangle = {};
    readCorner(form, token, nullptr, c);
    for (int j = 0; j < 3; ++j) {
        if (j > 0) readCorner(form, nullptr, file, c);
        triangle.vertex[j] = c.vertex;
        if (withTexcoord) triangle.texcoord[j] = c.texcoord;
    }
    emit(triangle);
    while (readCorner(form, nullptr, file, c) > 0) {
        ObjTriangle next = {};
        next.vertex[0] = triangle.vertex[0];
        next.vertex[1] = triangle.vertex[2];
        next.vertex[2] = c.vertex;
        if (withTexcoord) {
            next.texcoord[0] = triangle.texcoord[0];
            next.texcoord[1] = triangle.texcoord[2];
            next.texcoord[2] = c.texcoord;
        }
        triangle = next;
        emit(triangle);
    }
}

void countingPass(ObjModel& model, FILE* file) {
    char token[tokenSize];
    char name[tokenSize];
    ObjGroup* group = findOrAddGroup(model, "default");
    while (readToken(file, token)) {
        switch (token[0]) {
        case 'v':
            if (token[1] == '\0') {
                ++model.vertexCount;
                skipLine(file);
            } else if (token[1] == 'n') {
                skipLine(file);
            } else if (token[1] == 't') {
                ++model.texcoordCount;
                skipLine(file);
            }
            break;  // any other 'v' keyword: the next token is read at once
        case 'g':
            readGroupName(file, name);
            group = findOrAddGroup(model, name);
            break;
        case 'f':
            readFace(file, [&](const ObjTriangle&) {
                ++model.triangleCount;
                if (group) ++group->triangleCount;
            });
            break;
        default:  // '#' comments and every other keyword
            skipLine(file);
            break;
        }
    }
}

// The second pass. A stream that yields more than the first pass counted (possible only when
// lines of different kinds share a line) has the excess read and dropped.
void fillingPass(ObjModel& model, FILE* file, const std::unordered_map<const ObjGroup*, uint32_t>& capacity) {
    char token[tokenSize];
    char name[tokenSize];
    ObjGroup* group = findGroup(model, "default");
    uint32_t vertex = 1, texcoord = 1, t = 0;
    while (readToken(file, token)) {
        switch (token[0]) {
        case 'v':
            if (token[1] == '\0') {
                Vec3 p = {0, 0, 0};  // a short line leaves the missing values 0
                if (fscanf(file, "%f %f %f", &p.x, &p.y, &p.z) == EOF) p = {0, 0, 0};
                if (vertex <= model.vertexCount) model.vertices[vertex] = p;
                ++vertex;
            } else if (token[1] == 'n') {
                skipLine(file);
            } else if (token[1] == 't') {
                float uv[2] = {0, 0};
                if (fscanf(file, "%f %f", &uv[0], &uv[1]) == EOF) uv[0] = uv[1] = 0;
                if (texcoord <= model.texcoordCount) {
                    model.texcoords[texcoord][0] = uv[0];
                    model.texcoords[texcoord][1] = uv[1];
                }
                ++texcoord;
            }
            break;
        case 'g':
            readGroupName(file, name);
            group = findGroup(model, name);
            break;
        case 'f':
            readFace(file, [&](const ObjTriangle& triangle) {
                if (t >= model.triangleCount) return;
                model.triangles[t] = triangle;
                if (group) {
                    auto room = capacity.find(group);
                    if (room != capacity.end() && group->triangleCount < room->second)
                        group->triangleIndices[group->triangleCount++] = t;
                }
                ++t;
            });
            break;
        default:
            skipLine(file);
            break;
        }
    }
}

// calloc that treats a request for nothing as success.
template <typename T>
bool allocateZeroed(T*& array, size_t count) {
    array = count ? static_cast<T*>(calloc(count, sizeof(T))) : nullptr;
    return array || !count;
}

}  // namespace

void freeObjModel(ObjModel& model) {
    free(model.vertices);
    free(model.normals);
    free(model.texcoords);
    free(model.triangles);
    for (ObjGroup* group = model.groups; group;) {
        ObjGroup* next = group->next;
        free(group->name);
        free(group->triangleIndices);
        free(group);
        group = next;
    }
    model = ObjModel{};
}

ObjGroup* findGroup(ObjModel& model, const char* name) {
    for (ObjGroup* group = model.groups; group; group = group->next) {
        if (strcmp(group->name, name) == 0) return group;
    }
    return nullptr;
}

ObjGroup* findOrAddGroup(ObjModel& model, const char* name) {
    if (ObjGroup* found = findGroup(model, name)) return found;
    ObjGroup* group = static_cast<ObjGroup*>(calloc(1, sizeof(ObjGroup)));
    if (!group) return nullptr;
    const size_t length = strlen(name) + 1;
    group->name = static_cast<char*>(malloc(length));
    if (!group->name) {
        free(group);
        return nullptr;
    }
    memcpy(group->name, name, length);
    group->next = model.groups;
    model.groups = group;
    return group;
}

bool readObjModel(ObjModel& model, const char* path) {
    FILE* file = fopen(path, "r");
    if (!file) return false;
    // A folder opens like a file but yields a read error at once: it counts as missing.
    if (fgetc(file) == EOF && ferror(file)) {
        fclose(file);
        return false;
    }
    rewind(file);
    // A second reading (the window re-created) replaces the first one's arrays instead of leaking.
    freeObjModel(model);
    countingPass(model, file);
    std::unordered_map<const ObjGroup*, uint32_t> capacity;
    bool allocated = model.groups != nullptr;
    for (ObjGroup* group = model.groups; group && allocated; group = group->next) {
        capacity[group] = group->triangleCount;
        allocated = allocateZeroed(group->triangleIndices, group->triangleCount);
        group->triangleCount = 0;
    }
    allocated =
        allocated && allocateZeroed(model.triangles, model.triangleCount) &&
        allocateZeroed(model.vertices, size_t(model.vertexCount) + 1) &&
        allocateZeroed(model.normals, size_t(model.vertexCount) + 1) &&
        (model.texcoordCount == 0 || allocateZeroed(model.texcoords, size_t(model.texcoordCount) + 1));
    if (!allocated) {
        freeObjModel(model);
        fclose(file);
        return false;
    }
    rewind(file);
    fillingPass(model, file, capacity);
    fclose(file);
    computeVertexNormals(model);
    return true;
}

bool isTriangleDrawable(const ObjModel& model, const ObjTriangle& triangle) {
    if (!model.vertices) return false;
    for (int j = 0; j < 3; ++j) {
        const int32_t v = triangle.vertex[j];
        if (v < 1 || uint32_t(v) > model.vertexCount) return false;
        // Texture-coordinate index 0 means "none" (faces written without one) and reads the
        // zeroed slot 0, so it is drawn with (0, 0).
        const int32_t t = triangle.texcoord[j];
        if (model.texcoordCount > 0 && (t < 0 || uint32_t(t) > model.texcoordCount)) return false;
    }
    return true;
}
