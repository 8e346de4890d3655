// ESLint's rules for the web view's page: the browser ES modules of
// src/web/assets, built into the program as they are (no bundler). ESLint,
// its rule sets and the browser globals come from build/eslint/, where
// scripts/lint-web.sh installs them; this file sits outside src/web/assets so
// it is not built into the program.
import { createRequire } from "node:module";

const require = createRequire(new URL("./build/eslint/package.json", import.meta.url));
const js = require("@eslint/js");
const globals = require("globals");

export default [
  { ignores: ["build/**", "run-data/**"] },
  {
    files: ["src/web/assets/**/*.js"],
    ...js.configs.recommended,
    languageOptions: {
      ecmaVersion: 2022,
      sourceType: "module",
      globals: globals.browser,
    },
    linterOptions: { reportUnusedDisableDirectives: "error" },
  },
];
