#include "gateway/metrics.h"

#include <cstdio>

namespace corvella::gateway {

namespace {

std::string Number(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

}  // namespace

void Metrics::Histogram::Add(double seconds) {
  for (std::size_t i = 0; i < kBounds.size(); ++i) {
    if (seconds <= kBounds[i]) ++buckets[i];
  }
  ++count;
  sum += seconds;
}

void Metrics::Request(std::string_view route, unsigned status, double seconds) {
  std::lock_guard lock(mutex_);
  auto byStatus = requests_.find(route);
  if (byStatus == requests_.end()) byStatus = requests_.emplace(std::string(route), std::map<unsigned, long>()).first;
  ++byStatus->second[status];
  auto latency = requestLatency_.find(route);
  if (latency == requestLatency_.end()) latency = requestLatency_.emplace(std::string(route), Histogram()).first;
  latency->second.Add(seconds);
}

void Metrics::Cache(std::string_view outcome) {
  std::lock_guard lock(mutex_);
  ++cache_[std::string(outcome)];
}

void Metrics::Upstream(std::string_view source, std::string_view outcome, double seconds, long places) {
  std::lock_guard lock(mutex_);
  ++upstreamCalls_[{std::string(source), std::string(outcome)}];
  upstreamPlaces_[std::string(source)] += places;
  upstreamLatency_[std::string(source)].Add(seconds);
}

void Metrics::Error(std::string_view kind) {
  std::lock_guard lock(mutex_);
  ++errors_[std::string(kind)];
}

void Metrics::Refusal(std::string_view reason) {
  std::lock_guard lock(mutex_);
  auto it = refusals_.find(reason);
  if (it == refusals_.end()) it = refusals_.emplace(std::string(reason), 0).first;
  ++it->second;
}

std::string Metrics::Render() const {
  std::lock_guard lock(mutex_);
  std::string out;
  auto histogram = [&](const char* name, const char* label, const auto& m) {
    out += std::string("# TYPE ") + name + " histogram\n";
    for (const auto& [key, h] : m) {
      for (std::size_t i = 0; i < kBounds.size(); ++i) {
        out += std::string(name) + "_bucket{" + label + "=\"" + key + "\",le=\"" + Number(kBounds[i]) +
               "\"} " + std::to_string(h.buckets[i]) + "\n";
      }
      out += std::string(name) + "_bucket{" + label + "=\"" + key + "\",le=\"+Inf\"} " +
             std::to_string(h.count) + "\n";
      out += std::string(name) + "_sum{" + label + "=\"" + key + "\"} " + Number(h.sum) + "\n";
      out += std::string(name) + "_count{" + label + "=\"" + key + "\"} " + std::to_string(h.count) + "\n";
    }
  };
  out += "# TYPE corvella_requests_total counter\n";
  for (const auto& [route, byStatus] : requests_) {
    for (const auto& [status, n] : byStatus) {
      out += "corvella_requests_total{route=\"" + route + "\",status=\"" + std::to_string(status) + "\"} " +
             std::to_string(n) + "\n";
    }
  }
  histogram("corvella_request_seconds", "route", requestLatency_);
  out += "# TYPE corvella_forecast_cache_total counter\n";
  for (const auto& [key, n] : cache_) {
    out += "corvella_forecast_cache_total{outcome=\"" + key + "\"} " + std::to_string(n) + "\n";
  }
  out += "# TYPE corvella_upstream_calls_total counter\n";
  for (const auto& [key, n] : upstreamCalls_) {
    out += "corvella_upstream_calls_total{source=\"" + key.first + "\",outcome=\"" + key.second + "\"} " +
           std::to_string(n) + "\n";
  }
  out += "# TYPE corvella_upstream_places_total counter\n";
  for (const auto& [key, n] : upstreamPlaces_) {
    out += "corvella_upstream_places_total{source=\"" + key + "\"} " + std::to_string(n) + "\n";
  }
  histogram("corvella_upstream_seconds", "source", upstreamLatency_);
  out += "# TYPE corvella_refusals_total counter\n";
  for (const auto& [key, n] : refusals_) {
    out += "corvella_refusals_total{reason=\"" + key + "\"} " + std::to_string(n) + "\n";
  }
  out += "# TYPE corvella_errors_total counter\n";
  for (const auto& [key, n] : errors_) {
    out += "corvella_errors_total{kind=\"" + key + "\"} " + std::to_string(n) + "\n";
  }
  return out;
}

}  // namespace corvella::gateway
