// Numbers for the chart panel's labels and the alerts, as printf prints
// them in the "C" locale (the table's texts come made from the server).

// printf("%.2f"): JavaScript's toFixed rounds an exact half away from
// zero, printf to even; the only exact halves at two decimals are odd
// eighths (0.125, 0.375, ...).
export function fixed2(value) {
  if (typeof value !== "number" || !isFinite(value)) return "";
  const magnitude = Math.abs(value);
  if (Number.isInteger(magnitude * 8) && !Number.isInteger(magnitude * 4)) {
    let cents = Math.floor(magnitude * 100);
    if (cents % 2 === 1) cents += 1;
    const text = (cents / 100).toFixed(2);
    return value < 0 ? "-" + text : text;
  }
  return value.toFixed(2);
}

// 30622938 -> "30,622,938".
export function thousands(value) {
  const whole = Math.trunc(value);
  const digits = String(Math.abs(whole));
  const groups = digits.replace(/\B(?=(\d{3})+(?!\d))/g, ",");
  return whole < 0 ? "-" + groups : groups;
}

export function compareClass(value, reference) {
  if (value > reference) return "rise";
  if (value < reference) return "fall";
  return "";
}
