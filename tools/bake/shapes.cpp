#include "shapes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace {
// One horizontal cross-section of a ring stack: the base outline scaled by
// scale and moved by offset (x, z), at height y.
struct Ring {
    float y;
    float scale;
    glm::vec2 offset;
};

struct Kind {
    std::vector<Shape> parts;
    Shape all;
};

// A closed solid through a sequence of rings of one convex outline (given in
// (x, z), positive area). Consecutive rings are similar and parallel, so each
// side face is a planar trapezoid; the solid is convex when the rings bulge
// outwards (checked by the shape tests, not here).
Shape ringStack(const std::vector<glm::vec2>& outline, const std::vector<Ring>& rings) {
    Shape shape;
    const auto n = static_cast<uint32_t>(outline.size());
    for (const Ring& ring : rings) {
        for (const glm::vec2& p : outline) {
            const glm::vec2 q = p * ring.scale + ring.offset;
            shape.positions.emplace_back(q.x, ring.y, q.y);
        }
    }
    const auto last = static_cast<uint32_t>(rings.size() - 1);
    for (uint32_t k = 1; k + 1 < n; ++k) {
        shape.triangles.push_back({0, k, k + 1});  // bottom, facing -y
    }
    for (uint32_t r = 0; r < last; ++r) {
        for (uint32_t j = 0; j < n; ++j) {
            const uint32_t a = r * n + j;
            const uint32_t b = r * n + (j + 1) % n;
            shape.triangles.push_back({a, a + n, b + n});
            shape.triangles.push_back({a, b + n, b});
        }
    }
    for (uint32_t k = 1; k + 1 < n; ++k) {
        shape.triangles.push_back({last * n, last * n + k + 1, last * n + k});  // top, facing +y
    }
    return shape;
}

std::vector<glm::vec2> regularPolygon(int corners, float radius, float firstAngleDegrees) {
    std::vector<glm::vec2> outline;
    for (int k = 0; k < corners; ++k) {
        const float angle = glm::radians(firstAngleDegrees + 360.0f * static_cast<float>(k) / corners);
        outline.emplace_back(radius * std::cos(angle), radius * std::sin(angle));
    }
    return outline;
}

// An irregular heptagon: corners at uneven angles and radii, still convex.
std::vector<glm::vec2> rockOutline() {
    const float corners[][2] = {{0, 1.55f},   {50, 1.3f},  {105, 1.45f}, {160, 1.5f},
                                {205, 1.25f}, {260, 1.4f}, {310, 1.35f}};
    std::vector<glm::vec2> outline;
    for (const auto& corner : corners) {
        const float angle = glm::radians(corner[0]);
        outline.emplace_back(corner[1] * std::cos(angle), corner[1] * std::sin(angle));
    }
    return outline;
}

Shape floorQuad() {
    Shape shape;
    shape.positions = {{-50, 0, -50}, {-50, 0, 50}, {50, 0, 50}, {50, 0, -50}};
    shape.triangles = {{0, 1, 2}, {0, 2, 3}};
    return shape;
}

Shape concatenate(const std::vector<Shape>& parts) {
    Shape all;
    for (const Shape& part : parts) {
        const auto base = static_cast<uint32_t>(all.positions.size());
        all.positions.insert(all.positions.end(), part.positions.begin(), part.positions.end());
        for (const auto& t : part.triangles) {
            all.triangles.push_back({t[0] + base, t[1] + base, t[2] + base});
        }
    }
    return all;
}

std::map<std::string, Kind> buildKinds() {
    std::map<std::string, std::vector<Shape>> parts;
    parts["Rock"] = {ringStack(rockOutline(), {{0.0f, 0.85f, {0.0f, 0.0f}},
                                               {0.9f, 1.0f, {0.05f, 0.05f}},
                                               {1.9f, 0.72f, {0.15f, -0.05f}},
                                               {2.5f, 0.3f, {0.25f, -0.1f}}})};
    parts["Wall"] = {ringStack({{-6.0f, -0.75f}, {6.0f, -0.75f}, {6.0f, 0.75f}, {-6.0f, 0.75f}},
                               {{0.0f, 1.0f, {0, 0}}, {4.0f, 1.0f, {0, 0}}})};
    parts["Pillar"] = {
        ringStack(regularPolygon(8, 1.5f, 22.5f), {{0.0f, 1.0f, {0, 0}}, {8.0f, 1.0f, {0, 0}}})};
    parts["Tree"] = {
        ringStack(regularPolygon(8, 0.6f, 22.5f), {{0.0f, 1.0f, {0, 0}}, {4.0f, 1.0f, {0, 0}}}),
        ringStack(regularPolygon(8, 1.0f, 0.0f),
                  {{2.8f, 1.0f, {0, 0}}, {3.8f, 1.8f, {0, 0}}, {5.6f, 1.5f, {0, 0}}, {6.8f, 0.5f, {0, 0}}})};
    std::map<std::string, Kind> kinds;
    for (auto& [name, kindParts] : parts) {
        kinds[name] = Kind{kindParts, concatenate(kindParts)};
    }
    kinds["Floor"] = Kind{{}, floorQuad()};
    return kinds;
}

const std::map<std::string, Kind>& kinds() {
    static const std::map<std::string, Kind> all = buildKinds();
    return all;
}

const Kind& kindOf(const std::string& kind) {
    const auto found = kinds().find(kind);
    if (found == kinds().end()) {
        throw std::out_of_range("no shape for the kind \"" + kind + "\"");
    }
    return found->second;
}

float cross(const glm::vec2& o, const glm::vec2& a, const glm::vec2& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Andrew's monotone chain; collinear points are dropped.
std::vector<glm::vec2> convexHull(std::vector<glm::vec2> points) {
    std::sort(points.begin(), points.end(),
              [](const glm::vec2& a, const glm::vec2& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    points.erase(std::unique(points.begin(), points.end()), points.end());
    if (points.size() < 3) {
        return points;
    }
    std::vector<glm::vec2> hull(2 * points.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        while (k >= 2 && cross(hull[k - 2], hull[k - 1], points[i]) <= 0.0f) {
            --k;
        }
        hull[k++] = points[i];
    }
    for (std::size_t i = points.size() - 1, lower = k + 1; i > 0; --i) {
        while (k >= lower && cross(hull[k - 2], hull[k - 1], points[i - 1]) <= 0.0f) {
            --k;
        }
        hull[k++] = points[i - 1];
    }
    hull.resize(k - 1);
    return hull;
}
}  // namespace

const std::vector<std::string>& shapeKinds() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const auto& entry : kinds()) {
            all.push_back(entry.first);
        }
        return all;
    }();
    return names;
}

bool hasShape(const std::string& kind) {
    return kinds().count(kind) != 0;
}

const Shape& shapeOf(const std::string& kind) {
    return kindOf(kind).all;
}

const std::vector<Shape>& convexPartsOf(const std::string& kind) {
    return kindOf(kind).parts;
}

std::vector<glm::vec2> footprintOf(const std::string& kind) {
    const Kind& found = kindOf(kind);
    if (found.parts.empty()) {
        return {};
    }
    std::vector<glm::vec2> projected;
    for (const glm::vec3& p : found.all.positions) {
        projected.emplace_back(p.x, p.z);
    }
    return convexHull(projected);
}
